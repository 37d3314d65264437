// One handler at a time, run to the end. Every handler of a window runs through the queue. A handler asked
// for while another runs waits its turn and runs after it, in the order asked. While a handler waits on
// the line, for a connect or during a scan, the links call the wait hook; at most once a wait slice the
// queue then lets the window be served (its own toolkit's part) and shows the busy cursor from the first
// such moment until the wait is over. A close of the window asked for meanwhile is held until the last
// handler has ended. Each window's gate derives from this and supplies the toolkit's parts.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

#include "operator/ControlId.h"

namespace varnetik {

class HandlerQueue {
 public:
  HandlerQueue() = default;
  // A derived gate's destructor ends a wait still shown (EndWait): its cursor is gone by then.
  virtual ~HandlerQueue();
  HandlerQueue(const HandlerQueue&) = delete;
  HandlerQueue& operator=(const HandlerQueue&) = delete;

  // Runs the handler now, or after the running one. source: the control whose event asked for it.
  void Run(std::optional<ControlId> source, std::function<void()> handler);

  bool Running() const { return running_; }
  // The control whose handler runs; empty between handlers and for menu items.
  std::optional<ControlId> RunningSource() const { return source_; }
  // Whether the busy cursor is to be shown.
  bool Busy() const { return busyCursor_; }

  // A close request came during a handler: it is done once the handlers have ended.
  void HoldClose() { closeHeld_ = true; }
  // The wait is over (a message box follows, or the handler ended): the normal cursor comes back.
  void EndWait();

 protected:
  // Lets the window paint and take the window system's messages, leaving the operator's input queued.
  virtual void ServeWindow() = 0;
  virtual void ShowBusyCursor() = 0;
  virtual void ShowNormalCursor() = 0;
  // Closes the window on the event loop's next turn, as if the request had only just arrived.
  virtual void PostClose() = 0;

 private:
  using Clock = std::chrono::steady_clock;
  struct Pending {
    std::optional<ControlId> source;
    std::function<void()> handler;
  };
  void RunOne(Pending& next);
  void ServeWait();

  bool running_ = false;
  std::optional<ControlId> source_;
  std::deque<Pending> pending_;
  Clock::time_point lastServed_{};
  bool serving_ = false;
  bool busyCursor_ = false;
  bool closeHeld_ = false;
};

}  // namespace varnetik
