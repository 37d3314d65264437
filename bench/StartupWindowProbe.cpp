// Starts the way the program starts (the steps of main and RunVarnetik up to the shown window) and
// prints the monotonic clock at four points: QApplication built, pictures and settings loaded, "Bereit."
// in the log, the shown window through the event loop once. The start-up benchmark spawns it.
#include <QApplication>
#include <cstdio>

#include "app/AppState.h"
#include "app/LogView.h"
#include "app/MainWindow.h"
#include "app/Pictures.h"
#include "app/ShellConfig.h"
#include "app/UserDialogs.h"
#include "bench/BenchFigures.h"

int main(int argc, char** argv) {
  using namespace varnetik;
  QApplication app(argc, argv);
  const int64_t appBuilt = bench::MonotonicNs();
  QApplication::setApplicationName(QStringLiteral("Varnetik"));
  AppState state;
  DesktopDialogs dialogs;
  const ShellConfig config = DefaultShellConfig();
  app.setQuitOnLastWindowClosed(false);
  const QIcon icon = IconFromFile(config.iconFile);
  if (!icon.isNull()) app.setWindowIcon(icon);
  const int64_t configLoaded = bench::MonotonicNs();
  MainWindow window(state, dialogs, config);
  // "Bereit." is the window's last log line once it is built; a start-up that stopped short is no figure.
  const int64_t ready = bench::MonotonicNs();
  if (!window.Log()->Line(window.Log()->LineCount() - 1).endsWith(QStringLiteral("Bereit."))) return 1;
  window.show();
  QApplication::processEvents();
  const int64_t shown = bench::MonotonicNs();
  std::printf("app %lld\nconfig %lld\nready %lld\nshown %lld\n", static_cast<long long>(appBuilt),
              static_cast<long long>(configLoaded), static_cast<long long>(ready), static_cast<long long>(shown));
  return 0;
}
