// Lists the serial ports that can be opened right now.
#pragma once

#include <string>
#include <vector>

#include "operator/OperatorConsole.h"
#include "serial/RtuLink.h"

namespace varnetik {

// The fixed, ordered candidates: /dev/ttyUSB0..15, /dev/ttyACM0..15, /dev/ttyS0..31; COM1..COM64 on
// Windows.
const std::vector<std::string>& DefaultPortCandidates();

// Blanks trimmed from both ends, then lower-cased.
std::string NormalizePortName(const std::string& name);

// Returns the new list for PortCombo (the port open in this program first, as stored, then every
// candidate that opens exclusively with 9600 8N1; a port in use by another program is not) and logs the
// summary line. The caller applies the list. Each candidate is probed under rules (where to look for
// other programs and their locks) and left with the settings and modem lines it had; a stale lock is
// left where it is, the kernel console is not probed.
std::vector<std::string> ScanPorts(const RtuLink& link, OperatorConsole& console,
                                   const std::vector<std::string>& candidates = DefaultPortCandidates(),
                                   const PortClaimRules& rules = {});

}  // namespace varnetik
