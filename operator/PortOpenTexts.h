// The operator's words for what an open of the serial port met: why it was refused, and what an open
// that went through could not make sure of. Each is one log line of its own after the line that names
// the port.
#pragma once

#include <string>
#include <vector>

#include "serial/PortOpenResult.h"

namespace varnetik {

// "Grund: belegt von picocom (PID 4711)", "Grund: keine Berechtigung (Gruppe dialout?)".
std::string PortRefusalLine(const PortOpenResult& result);

// For an open port: one line per thing it could not make sure of; none when there is nothing to tell.
std::vector<std::string> PortOpenNoteLines(const PortOpenResult& result);

}  // namespace varnetik
