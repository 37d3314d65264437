// One handler at a time, and a window that does not look hung while it waits. Every handler of the window
// runs through the gate. A handler asked for while another runs (a click on the main window while the
// running handler's message box is owned by the info window, a menu choice) waits its turn and runs after
// it, in the order asked. While a handler waits on the line, for a connect or during a scan, the links
// call the wait hook; the gate then serves the thread's queue for a moment: paints, sent and posted
// messages only. Mouse and keyboard input stays queued and arrives after the handler, in order, as it
// would if the window were not served at all; Windows still sees the thread fetch messages and never
// ghosts the window. A close of the window meanwhile is held until the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "operator/ControlId.h"

namespace varnetik::win32 {

class HandlerGate {
 public:
  // window: closed (WM_CLOSE posted) once a held close may take effect.
  explicit HandlerGate(HWND window) : window_(window) {}
  ~HandlerGate();
  HandlerGate(const HandlerGate&) = delete;
  HandlerGate& operator=(const HandlerGate&) = delete;

  // Runs the handler now, or after the running one. source: the control whose event asked for it.
  void Run(std::optional<ControlId> source, std::function<void()> handler);

  bool Running() const { return running_; }
  std::optional<ControlId> RunningSource() const { return source_; }
  // Whether the busy cursor is to be shown (WM_SETCURSOR asks).
  bool Busy() const { return busyCursor_; }

  // A close request came during a handler: it is done once the handlers have ended.
  void HoldClose() { closeHeld_ = true; }
  // The wait is over (a message box follows, or the handler ended): the normal cursor comes back.
  void EndWait();

 private:
  struct Pending {
    std::optional<ControlId> source;
    std::function<void()> handler;
  };
  void RunOne(Pending& next);
  void ServeWindow();

  HWND window_;
  bool running_ = false;
  std::optional<ControlId> source_;
  std::deque<Pending> pending_;
  uint64_t lastServedMs_ = 0;
  bool serving_ = false;
  bool busyCursor_ = false;
  bool closeHeld_ = false;
};

}  // namespace varnetik::win32
