#include "win32/MessageLoop.h"

#include "win32/InfoWindow.h"

namespace varnetik::win32 {

void DeliverMessage(MainWindow& window, MSG& msg) {
  if (IsInfoWindowMessage(msg) || window.PreTranslate(msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

int RunMessageLoop(MainWindow& window) {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) DeliverMessage(window, msg);
  return static_cast<int>(msg.wParam);
}

}  // namespace varnetik::win32
