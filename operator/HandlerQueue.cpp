#include "operator/HandlerQueue.h"

#include <utility>

#include "modbus/WaitHook.h"

namespace varnetik {

HandlerQueue::~HandlerQueue() {
  if (Running()) SetWaitHook({});
}

void HandlerQueue::Run(std::optional<ControlId> source, std::function<void()> handler) {
  if (Running()) {
    pending_.push_back({source, std::move(handler)});
    return;
  }
  running_ = true;
  SetWaitHook([this] { ServeWait(); });
  Pending first{source, std::move(handler)};
  RunOne(first);
  while (!pending_.empty()) {
    Pending next = std::move(pending_.front());
    pending_.pop_front();
    RunOne(next);
  }
  SetWaitHook({});
  running_ = false;
  EndWait();
  if (closeHeld_) {
    closeHeld_ = false;
    PostClose();
  }
}

void HandlerQueue::RunOne(Pending& next) {
  source_ = next.source;
  // A wait shorter than one slice passes unnoticed: no serving, no busy cursor flickering at every read.
  lastServed_ = Clock::now();
  next.handler();
  source_.reset();
}

void HandlerQueue::EndWait() {
  if (!busyCursor_) return;
  busyCursor_ = false;
  ShowNormalCursor();
}

void HandlerQueue::ServeWait() {
  const Clock::time_point now = Clock::now();
  if (serving_ || now - lastServed_ < std::chrono::milliseconds(kWaitSliceMs)) return;
  lastServed_ = now;
  if (!busyCursor_) {
    busyCursor_ = true;
    ShowBusyCursor();
  }
  // A message served here may itself reach a wait; that one is not served again from inside.
  serving_ = true;
  ServeWindow();
  serving_ = false;
}

}  // namespace varnetik
