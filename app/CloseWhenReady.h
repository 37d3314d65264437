// A start-up check for scripts: with VARNETIK_CLOSE_WHEN_READY set in the environment, the program
// writes its log to standard output once the window is up and then closes the window the way a user
// does, so the program ends by its ordinary path. The program itself has no command line; this is the
// one way a script can see that a build starts and reaches its first log line.
#pragma once

class QApplication;

namespace varnetik {

// Does nothing unless the variable is set; call before the event loop starts.
void CloseWhenReadyIfAsked(QApplication& app);

}  // namespace varnetik
