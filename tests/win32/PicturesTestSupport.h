// Small helpers of the picture tests: pixels of a decoded bitmap, tooltips, the message pump.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <ostream>
#include <string>

#include "win32/InfoWindow.h"

// Places compared in the tests; in the global namespace, where RECT is, for the assertions to find it.
inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
inline void PrintTo(const RECT& r, std::ostream* out) {
  *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace varnetik::win32::testing {

// The colour of one pixel of a 24-bit DIB section as 0xRRGGBB.
inline unsigned PixelRgb(HBITMAP bitmap, int x, int y) {
  DIBSECTION dib{};
  if (GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 24) return 0xFFFFFFFFu;
  const auto* row = static_cast<const unsigned char*>(dib.dsBm.bmBits) + static_cast<size_t>(y) * dib.dsBm.bmWidthBytes;
  const unsigned char* pixel = row + 3 * x;
  return (unsigned{pixel[2]} << 16) | (unsigned{pixel[1]} << 8) | pixel[0];
}

// The tooltip text some tooltip window of this thread holds for control.
inline std::wstring TooltipOf(HWND control) {
  struct Search {
    HWND control;
    std::wstring text;
  } search{control, {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (std::wstring(className) != TOOLTIPS_CLASSW) return TRUE;
        wchar_t text[256] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = GetParent(s.control);
        tool.uId = reinterpret_cast<UINT_PTR>(s.control);
        tool.lpszText = text;
        SendMessageW(window, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        if (text[0] == 0) return TRUE;
        s.text = text;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.text;
}

// Delivers what is queued the way the window's message loop does.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsInfoWindowMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

inline RECT ChildRect(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace varnetik::win32::testing
