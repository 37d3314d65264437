// The lines a person types on the running slave's standard input: the fault in force, the values of a
// unit's tables, and the counts so far. They run on the loop's thread between two requests, so a value
// set shows in the very next answer.
#pragma once

#include <string>

#include "slave/SlaveServer.h"

namespace varnetik::slave {

// Carries out one line; what it shows goes to standard output, a complaint to standard error. Blanks
// before, after and between the words do not matter.
void ExecuteCommand(SlaveServer& server, const std::string& line);

}  // namespace varnetik::slave
