// Varnetik: a Modbus master for commissioning devices over a serial line (RTU) or TCP.
#include <QApplication>

#include "app/AppState.h"
#include "app/CloseWhenReady.h"
#include "app/Shell.h"
#include "app/ShellConfig.h"
#include "app/UserDialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnetik"));
  // Lets Wayland docks match the window to the installed menu entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.varnetik.Varnetik"));
  varnetik::AppState state;
  varnetik::DesktopDialogs dialogs;
  varnetik::CloseWhenReadyIfAsked(app);
  return varnetik::RunVarnetik(app, state, varnetik::DefaultShellConfig(), dialogs);
}
