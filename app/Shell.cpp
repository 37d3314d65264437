#include "app/Shell.h"

#include <QApplication>

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/Pictures.h"
#include "app/ShellConfig.h"

namespace varnetik {

int RunVarnetik(QApplication& app, AppState& state, const ShellConfig& config, UserDialogs& dialogs) {
  // Only the main window ends the program; the info window may still be open when it closes.
  app.setQuitOnLastWindowClosed(false);
  const QIcon icon = IconFromFile(config.iconFile);
  if (!icon.isNull()) app.setWindowIcon(icon);
  {
    MainWindow window(state, dialogs, config);
    QObject::connect(&window, &MainWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    app.exec();
  }
  state.rtu.RtuClosePort();
  return 0;
}

}  // namespace varnetik
