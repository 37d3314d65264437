#include "app/CloseWhenReady.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

#include "app/LogView.h"
#include "app/ControlFactory.h"
#include "operator/ControlId.h"

namespace varnetik {

void CloseWhenReadyIfAsked(QApplication& app) {
  if (!qEnvironmentVariableIsSet("VARNETIK_CLOSE_WHEN_READY")) return;
  // A zero timer fires once the loop runs, after start-up has built the window and written its log.
  QTimer::singleShot(0, &app, [] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<QMainWindow*>(top);
      auto* log = window ? window->findChild<LogView*>(ControlName(ControlId::LogList)) : nullptr;
      if (log == nullptr) continue;
      for (int64_t i = 0; i < log->LineCount(); ++i) std::printf("%s\n", log->Line(i).toUtf8().constData());
      std::fflush(stdout);
      window->close();
    }
  });
}

}  // namespace varnetik
