#include "win32/HandlerGate.h"

namespace varnetik::win32 {

HandlerGate::~HandlerGate() { EndWait(); }

void HandlerGate::ShowBusyCursor() { ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)); }

void HandlerGate::ShowNormalCursor() { ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW)); }

void HandlerGate::PostClose() { ::PostMessageW(window_, WM_CLOSE, 0, 0); }

void HandlerGate::ServeWindow() {
  // Everything but input: the filter leaves mouse and keyboard messages in the queue for afterwards.
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to take: the main loop ends on it after the handler.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace varnetik::win32
