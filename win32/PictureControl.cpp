#include "win32/PictureControl.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>

namespace varnetik::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;
// The control's bitmap, kept as a window property: it also tells our picture controls from other statics.
constexpr wchar_t kBitmapProperty[] = L"VarnetikPicture";

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0) return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

// The control's own drawing would stretch with plain pixel dropping; halftone keeps the scaled picture
// readable at 125 % and 150 %.
void Paint(HWND control, HBITMAP bitmap) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control, &paint);
  RECT client;
  GetClientRect(control, &client);
  const SIZE size = BitmapSize(bitmap);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(source, bitmap);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, size.cx, size.cy, SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
  // The picture fills its whole box, so the keyboard focus is marked on top of it.
  if (GetFocus() == control) DrawFocusRect(dc, &client);
  EndPaint(control, &paint);
}

// What a click reports (STN_CLICKED to the parent), for Enter and Space while it has the focus.
void ReportClick(HWND control) {
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
               reinterpret_cast<LPARAM>(control));
}

bool IsPressKey(WPARAM key) {
  const bool modified = GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
  return (key == VK_RETURN || key == VK_SPACE) && !modified;
}

LRESULT CALLBACK PictureProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  const auto bitmap = reinterpret_cast<HBITMAP>(data);
  switch (message) {
    case WM_PAINT:
      Paint(control, bitmap);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the picture covers the whole control
    case WM_GETDLGCODE: {
      // Enter would otherwise go to the dialog's default button.
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      const LRESULT code = DefSubclassProc(control, message, wParam, lParam);
      return msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN ? code | DLGC_WANTMESSAGE : code;
    }
    case WM_KEYDOWN:
      if (IsPressKey(wParam)) {
        ReportClick(control);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(control, nullptr, FALSE);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, PictureProc, kSubclassId);
      RemovePropW(control, kBitmapProperty);
      // A static control never deletes the bitmap it was given.
      DeleteObject(bitmap);
      break;
    default: break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

HBITMAP BitmapOf(HWND control) {
  return control != nullptr ? static_cast<HBITMAP>(GetPropW(control, kBitmapProperty)) : nullptr;
}

void AddTooltip(HWND parent, HWND control, const std::wstring& text) {
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(parent, GA_ROOT),
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tip == nullptr) return;
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = parent;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Needs COM on the thread, which the window's start-up initialises; without it the picture simply has
// no name.
void NameForAssistiveTechnology(HWND control, const std::wstring& name) {
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                              reinterpret_cast<void**>(&services)))) {
    return;
  }
  // The annotation goes with the window when it is destroyed.
  services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
  services->Release();
}

}  // namespace

HWND CreatePictureControl(HWND parent, int id, HBITMAP bitmap, int x, int y, const PictureTexts& texts,
                          PictureFocus focus) {
  const SIZE size = BitmapSize(bitmap);
  if (parent == nullptr || size.cx <= 0 || size.cy <= 0) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    return nullptr;
  }
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  const UINT dpi = GetDpiForWindow(parent);
  const int width = MulDiv(size.cx, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
  const int height = MulDiv(size.cy, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
  HWND control = CreateWindowExW(0, L"STATIC", nullptr,
                                 WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY | SS_REALSIZECONTROL |
                                     (focus == PictureFocus::TabStop ? WS_TABSTOP : 0),
                                 x, y, width,
                                 height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr || !SetPropW(control, kBitmapProperty, bitmap)) {
    if (control != nullptr) DestroyWindow(control);
    DeleteObject(bitmap);
    return nullptr;
  }
  if (!SetWindowSubclass(control, PictureProc, kSubclassId, reinterpret_cast<DWORD_PTR>(bitmap))) {
    RemovePropW(control, kBitmapProperty);
    DestroyWindow(control);
    DeleteObject(bitmap);
    return nullptr;
  }
  SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  // Setting the image may size the control to the unscaled bitmap.
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  AddTooltip(parent, control, texts.tooltip);
  NameForAssistiveTechnology(control, texts.accessibleName);
  return control;
}

SIZE PictureBitmapSize(HWND control) { return BitmapSize(BitmapOf(control)); }

}  // namespace varnetik::win32
