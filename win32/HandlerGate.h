// The window's handler queue (operator/HandlerQueue: one handler at a time, run to the end, a close held
// until then) with its Win32 parts. A handler asked for while another runs is, for example, a click on
// the main window while the running handler's message box is owned by the info window, or a menu choice.
// While a handler waits on the line the gate serves the thread's queue for a moment: paints, sent and
// posted messages only. Mouse and keyboard input stays queued and arrives after the handler, in order, as
// it would if the window were not served at all; Windows still sees the thread fetch messages and never
// ghosts the window.
#pragma once

#include <windows.h>

#include "operator/HandlerQueue.h"

namespace varnetik::win32 {

class HandlerGate : public HandlerQueue {
 public:
  // window: closed (WM_CLOSE posted) once a held close may take effect.
  explicit HandlerGate(HWND window) : window_(window) {}
  ~HandlerGate() override;

 private:
  void ServeWindow() override;
  void ShowBusyCursor() override;
  void ShowNormalCursor() override;
  void PostClose() override;

  HWND window_;
};

}  // namespace varnetik::win32
