// The window's handler queue (operator/HandlerQueue: one handler at a time, run to the end, a close held
// until then) with its Qt parts. A handler asked for while another runs is, for example, a queued call, an
// accessibility "press" action, or a menu choice made while a message box of the running handler is open.
// While a handler waits on the line the gate serves the window for a moment: paints and window-manager
// events only. What the operator types or clicks stays queued and arrives after the handler, in order, as
// it would if the window were not served at all.
#pragma once

#include "operator/HandlerQueue.h"

class QWidget;

namespace varnetik {

class HandlerGate : public HandlerQueue {
 public:
  // window: the main window, closed once a held close may take effect.
  explicit HandlerGate(QWidget& window) : window_(window) {}
  ~HandlerGate() override;

 private:
  void ServeWindow() override;
  void ShowBusyCursor() override;
  void ShowNormalCursor() override;
  void PostClose() override;

  QWidget& window_;
};

}  // namespace varnetik
