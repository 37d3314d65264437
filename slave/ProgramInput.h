// What reaches the running slave from outside besides its links: a request to stop (Ctrl+C, SIGTERM,
// SIGHUP) and command lines on its standard input. ProgramInputPosix.cpp turns the signals into a byte on a
// pipe and watches that pipe and standard input in the server's loop. ProgramInputWin32.cpp takes
// Ctrl+C, Ctrl+Break and the close of the console window (log-off, shut-down) with a console control
// handler and reads standard input on a thread of its own (a console or pipe cannot be waited on with
// sockets); both wake the loop through a loopback socket.
#pragma once

#include <functional>
#include <string>

#include "slave/SlaveServer.h"

namespace varnetik::slave {

// Once per process, before the slave says where it serves: from then on a stop request stops server,
// and every line typed (without its line end) goes to onLine on the loop's thread. Standard input at its
// end is no longer read. False, with the reason in error, when it cannot be arranged.
bool WatchProgramInput(SlaveServer& server, std::function<void(const std::string& line)> onLine,
                       std::string& error);

}  // namespace varnetik::slave
