#include "app/HandlerGate.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

#include "modbus/WaitHook.h"

namespace varnetik {

HandlerGate::HandlerGate(QWidget& window) : window_(window) { clock_.start(); }

HandlerGate::~HandlerGate() {
  if (Running()) SetWaitHook({});
  EndWait();
}

void HandlerGate::Run(std::optional<ControlId> source, std::function<void()> handler) {
  if (Running()) {
    pending_.push_back({source, std::move(handler)});
    return;
  }
  running_ = true;
  SetWaitHook([this] { ServeWindow(); });
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
    // On the loop's next turn, as if the request had only just arrived.
    QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
  }
}

void HandlerGate::RunOne(Pending& next) {
  source_ = next.source;
  // A wait shorter than one slice passes unnoticed: no events, no busy cursor flickering at every read.
  lastServedMs_ = clock_.elapsed();
  next.handler();
  source_.reset();
}

void HandlerGate::EndWait() {
  if (!busyCursor_) return;
  busyCursor_ = false;
  QApplication::restoreOverrideCursor();
}

void HandlerGate::ServeWindow() {
  const qint64 now = clock_.elapsed();
  if (serving_ || now - lastServedMs_ < kWaitSliceMs) return;
  lastServedMs_ = now;
  if (!busyCursor_) {
    busyCursor_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  serving_ = true;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  serving_ = false;
}

}  // namespace varnetik
