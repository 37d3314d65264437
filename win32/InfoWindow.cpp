#include "win32/InfoWindow.h"

#include <string>

#include "operator/InfoContent.h"
#include "operator/WebAddresses.h"
#include "operator/WebPictureNames.h"
#include "win32/EmbeddedPictures.h"
#include "win32/GifBitmap.h"
#include "win32/PictureControl.h"
#include "win32/WebLinks.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {

constexpr wchar_t kClassName[] = L"VarnetikInfoWindow";
// Title bar with the system menu and close box; not sizeable, no minimise or maximise box.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = 0;
constexpr int kProgramIconId = 1;

// The one info window, while it exists.
struct InfoWindowState {
  HWND window = nullptr;
  HWND text = nullptr;
  HWND picture = nullptr;  // nullptr when the donation picture did not decode
  HFONT font = nullptr;    // nullptr while the stock font stands in
};
InfoWindowState info;

int Scale(int logical, UINT dpi) { return MulDiv(logical, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI); }

// The system's message font at the window's DPI, as the main window's controls have it.
HFONT CreateMessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) return nullptr;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

void Place(HWND control, const InfoRect& rect, UINT dpi) {
  SetWindowPos(control, nullptr, Scale(rect.x, dpi), Scale(rect.y, dpi), Scale(rect.width, dpi),
               Scale(rect.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

// Font and places of the two controls at the window's DPI.
void LayOut(UINT dpi) {
  HFONT font = CreateMessageFont(dpi);
  SendMessageW(info.text, WM_SETFONT,
               reinterpret_cast<WPARAM>(font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  if (info.font != nullptr) DeleteObject(info.font);
  info.font = font;
  const SIZE picture = info.picture != nullptr ? PictureBitmapSize(info.picture) : SIZE{0, 0};
  Place(info.text, InfoTextRect(picture.cy), dpi);
  if (info.picture != nullptr) Place(info.picture, DonationPictureRect(picture.cx, picture.cy), dpi);
}

LRESULT CALLBACK InfoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kDonationPictureId && (HIWORD(wParam) == STN_CLICKED || HIWORD(wParam) == STN_DBLCLK)) {
        OpenWebPage(DonationPageAddress());
        return 0;
      }
      // Esc, through IsDialogMessageW: the window has no button to take it, so it closes like the close box.
      if (LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(window);
        return 0;
      }
      break;
    case WM_NEXTDLGCTL: {
      // Tab and Shift+Tab, through IsDialogMessageW: this is no dialog, so the move is made here.
      HWND focus = GetFocus();
      if (!IsChild(window, focus)) focus = nullptr;  // the window itself: start from the first control
      HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                      : GetNextDlgTabItem(window, focus, wParam != 0);
      if (next != nullptr) SetFocus(next);
      return 0;
    }
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut(HIWORD(wParam));
      return 0;
    }
    case WM_NCDESTROY:
      // The controls are gone by now, so their font can go too; the next ShowInfoWindow builds anew.
      if (info.font != nullptr) DeleteObject(info.font);
      info = {};
      break;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterInfoWindowClass(HINSTANCE instance) {
  static const bool registered = [instance] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = InfoWindowProc;
    windowClass.hInstance = instance;
    // The program's icon (resource 1), as for every window of the program; the system's when it is absent.
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

// The work area of the monitor the owner is on (the primary one without an owner).
RECT WorkArea(HWND owner) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
  return monitor.rcWork;
}

// Its fixed client size at the window's DPI, centred in the work area.
void SizeAndCentre(HWND window, const RECT& area, UINT dpi) {
  RECT frame{0, 0, Scale(kInfoWindowWidth, dpi), Scale(kInfoWindowHeight, dpi)};
  AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void ShowInfoWindow(HWND owner) { ShowInfoWindow(owner, EmbeddedDonationGif()); }

void ShowInfoWindow(HWND owner, std::span<const unsigned char> donationGif) {
  if (info.window != nullptr) {
    if (IsIconic(info.window)) ShowWindow(info.window, SW_RESTORE);
    SetForegroundWindow(info.window);
    BringWindowToTop(info.window);
    return;
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterInfoWindowClass(instance)) return;
  // Not owned by the main window: a top-level window of its own. Made on the monitor where it is shown,
  // so that it has that monitor's DPI from the start and is not rescaled while being placed.
  const RECT area = WorkArea(owner);
  HWND window = CreateWindowExW(kExStyle, kClassName, Wide(kInfoWindowTitle).c_str(), kStyle,
                                area.left, area.top, 0, 0, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return;
  info.window = window;
  const std::wstring text = Wide(InfoText(WebAddressHost(kMakerPageAddress), "\r\n"));
  info.text = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0, 0, 0, 0,
                              window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kInfoTextId)), instance, nullptr);
  HBITMAP donation = DecodeGifBitmap(donationGif, GetSysColor(COLOR_3DFACE));
  if (donation != nullptr) {
    info.picture = CreatePictureControl(window, kDonationPictureId, donation, 0, 0,
                                        {Wide(kDonationTooltip), Wide(kDonationPictureName)},
                                        PictureFocus::TabStop);
  }
  const UINT dpi = GetDpiForWindow(window);
  LayOut(dpi);
  SizeAndCentre(window, area, dpi);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
}

bool IsInfoWindowMessage(MSG& msg) {
  if (info.window == nullptr || (msg.hwnd != info.window && !IsChild(info.window, msg.hwnd))) return false;
  return IsDialogMessageW(info.window, &msg) != FALSE;
}

HWND InfoWindowHandle() { return info.window; }

}  // namespace varnetik::win32
