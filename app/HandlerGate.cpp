#include "app/HandlerGate.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

namespace varnetik {

HandlerGate::~HandlerGate() { EndWait(); }

void HandlerGate::ShowBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void HandlerGate::ShowNormalCursor() { QApplication::restoreOverrideCursor(); }

void HandlerGate::PostClose() { QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection); }

void HandlerGate::ServeWindow() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace varnetik
