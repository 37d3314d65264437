// One handler at a time, and a window that does not look hung while it waits. Every handler of the window
// runs through the gate. A handler asked for while another runs (a queued call, an accessibility "press"
// action, a menu choice made while a message box of the running handler is open) waits its turn and runs
// after it, in the order asked. While a handler waits on the line, for a connect or during a scan, the
// links call the wait hook; the gate then serves the window for a moment: paints and window-manager events
// only. What the operator types or clicks stays queued and arrives after the handler, in order, as it
// would if the window were not served at all. A close of the window meanwhile is held until the end.
#pragma once

#include <QElapsedTimer>
#include <deque>
#include <functional>
#include <optional>

#include "operator/ControlId.h"

class QWidget;

namespace varnetik {

class HandlerGate {
 public:
  // window: the main window, closed once a held close may take effect.
  explicit HandlerGate(QWidget& window);
  ~HandlerGate();
  HandlerGate(const HandlerGate&) = delete;
  HandlerGate& operator=(const HandlerGate&) = delete;

  // Runs the handler now, or after the running one. source: the control whose event asked for it.
  void Run(std::optional<ControlId> source, std::function<void()> handler);

  bool Running() const { return running_; }
  // The control whose handler runs; empty between handlers and for menu items.
  std::optional<ControlId> RunningSource() const { return source_; }

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

  QWidget& window_;
  bool running_ = false;
  std::optional<ControlId> source_;
  std::deque<Pending> pending_;
  QElapsedTimer clock_;
  qint64 lastServedMs_ = 0;
  bool serving_ = false;
  bool busyCursor_ = false;
  bool closeHeld_ = false;
};

}  // namespace varnetik
