// Start-up, the event loop and shutdown of the program.
#pragma once

class QApplication;

namespace varnetik {

struct AppState;
struct ShellConfig;
class UserDialogs;

// Builds and shows the main window, runs the event loop until the main window is closed, then closes the
// serial port. Returns the process exit code, always 0.
int RunVarnetik(QApplication& app, AppState& state, const ShellConfig& config, UserDialogs& dialogs);

}  // namespace varnetik
