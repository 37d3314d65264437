// A start-up check for scripts (the installer's test among them): with VARNETIK_CLOSE_WHEN_READY set in
// the environment, the program writes its log to standard output as UTF-8 once the window is up and then
// closes the window the way a user does, so the program ends by its ordinary path with exit code 0.
// The program has no command line; this is the one way a script can see that a build starts and reaches
// its first log line.
#pragma once

#include <string>
#include <vector>

#include "win32/MainWindow.h"

namespace varnetik::win32 {

// Does nothing unless the variable is set; call before the message loop starts.
void CloseWhenReadyIfAsked(MainWindow& window);

// Writes the lines, each ended by a line feed, where the caller's standard output goes. A program of
// the Windows subsystem gets a standard output only when its caller hands one over (a pipe, a file, or
// Wine's terminal); started from a console without redirection it has none, and then writes to the
// console of the process that started it.
bool WriteToStandardOutput(const std::vector<std::string>& lines);

}  // namespace varnetik::win32
