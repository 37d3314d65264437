// varnetik-slave from parsed options to its exit status: opens what it serves, serves until asked to stop
// (Ctrl+C, SIGTERM), takes fault commands from standard input, then closes everything and writes --save.
#pragma once

#include "slave/SlaveOptions.h"

namespace varnetik::slave {

// 0 after a stop by signal, 1 when something could not be opened, read or written.
int RunSlave(const SlaveOptions& options);

}  // namespace varnetik::slave
