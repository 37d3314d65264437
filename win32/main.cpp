// Start-up: the platform services, the link records with their defaults, the main window, the loop;
// after it, the serial port is closed before the services go.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>

#include "operator/AppState.h"
#include "tcp/Socket.h"
#include "win32/CloseWhenReady.h"
#include "win32/MainWindow.h"
#include "win32/MessageLoop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // COM and OLE for the clipboard, the save dialog and the shell's "open".
  const bool ole = SUCCEEDED(::OleInitialize(nullptr));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                                                     ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  varnetik::StartSocketLayer();

  int exitCode = 0;
  {
    varnetik::AppState state;
    varnetik::win32::MainWindow window(state, varnetik::win32::DefaultWindowConfig());
    varnetik::win32::CloseWhenReadyIfAsked(window);
    exitCode = varnetik::win32::RunMessageLoop(window);
    state.rtu.RtuClosePort();
  }
  ::WSACleanup();
  if (ole) ::OleUninitialize();
  return exitCode;
}
