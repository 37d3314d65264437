// The program's one message loop: waits without a timeout and hands each message to the window that owns it.
#pragma once

#include <windows.h>

#include "win32/MainWindow.h"

namespace varnetik::win32 {

// One message through the windows' keyboard handling, then to its window procedure.
void DeliverMessage(MainWindow& window, MSG& msg);

// Runs until the main window has been closed; returns the exit code WM_QUIT carries.
int RunMessageLoop(MainWindow& window);

}  // namespace varnetik::win32
