// Drives the real main window as the operator does: mouse and key messages at the controls' places,
// answered message boxes, and a loop that serves the window between steps exactly as the program's loop.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "win32/MainWindow.h"
#include "win32/MessageLoop.h"
#include "win32/WideText.h"

namespace varnetik::testing {

// One message box as the operator saw it.
struct SeenBox {
  std::string title;
  std::string text;
  bool operator==(const SeenBox&) const = default;
};

class WindowDriver {
 public:
  explicit WindowDriver(win32::MainWindow& window) : window_(window) {
    current_ = this;
    hook_ = ::SetWindowsHookExW(WH_CBT, &WindowDriver::BoxHook, nullptr, ::GetCurrentThreadId());
  }
  ~WindowDriver() {
    ::UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }

  // Serves the window until `done` holds, at most about 20 s (a safety stop, not a time target).
  bool PumpUntil(const std::function<bool()>& done) {
    const ULONGLONG end = ::GetTickCount64() + 20000;
    while (!done()) {
      if (::GetTickCount64() > end) return false;
      MSG msg;
      if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        win32::DeliverMessage(window_, msg);
      } else {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      }
    }
    return true;
  }
  // Serves everything that is queued now.
  void Settle() {
    MSG msg;
    for (int idle = 0; idle < 3;) {
      if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        win32::DeliverMessage(window_, msg);
        idle = 0;
      } else {
        ++idle;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      }
    }
  }

  // A left click in the middle of the control, as the mouse delivers it; queued, not yet served.
  static void PostClick(HWND control) {
    RECT r{};
    ::GetClientRect(control, &r);
    PostClickAt(control, {r.right / 2, r.bottom / 2});
  }
  static void PostClickAt(HWND control, POINT p) {
    const LPARAM at = MAKELPARAM(p.x, p.y);
    ::PostMessageW(control, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(control, WM_LBUTTONUP, 0, at);
  }
  void Click(HWND control) {
    PostClick(control);
    Settle();
  }
  void ClickTab(int index) {
    HWND tabs = window_.Control(ControlId::OperationTabs);
    RECT item{};
    ::SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    PostClickAt(tabs, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    Settle();
  }
  // Clicks into the field, selects its text as Ctrl+A would and types the text over it.
  void Type(ControlId id, const std::string& text) {
    HWND field = window_.Control(id);
    Click(field);
    ::SendMessageW(field, EM_SETSEL, 0, -1);
    for (wchar_t c : win32::Wide(text)) ::PostMessageW(field, WM_CHAR, c, 1);
    if (text.empty()) ::PostMessageW(field, WM_KEYDOWN, VK_DELETE, 1);
    Settle();
  }
  static void PostKey(HWND target, UINT key) {
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  }
  void Key(UINT key) {
    PostKey(::GetFocus(), key);
    Settle();
  }

  // The boxes shown since the last call, each answered with Enter.
  std::vector<SeenBox> TakeBoxes() { return std::exchange(boxes_, {}); }
  size_t BoxCount() const { return boxes_.size(); }

 private:
  static LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current_ != nullptr) {
      HWND box = reinterpret_cast<HWND>(wParam);
      wchar_t cls[16] = {};
      ::GetClassNameW(box, cls, 16);
      if (std::wstring(cls) == L"#32770" && current_->answered_ != box) {
        current_->answered_ = box;
        wchar_t title[256] = {};
        wchar_t text[1024] = {};
        ::GetWindowTextW(box, title, 256);
        ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
        current_->boxes_.push_back({win32::Utf8(title), win32::Utf8(text)});
        // The operator reads the box and presses Enter.
        PostKey(box, VK_RETURN);
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline WindowDriver* current_ = nullptr;
  win32::MainWindow& window_;
  HHOOK hook_ = nullptr;
  HWND answered_ = nullptr;
  std::vector<SeenBox> boxes_;
};

}  // namespace varnetik::testing
