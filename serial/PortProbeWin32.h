// The scan's probe of one COM port on Windows. A candidate is opened only when it exists and is not an
// outgoing Bluetooth port, whose open tries to reach the paired device inside CreateFile and blocks for
// seconds; the port is configured as a later open would do it and gets its previous settings back
// before it closes, so that a scan leaves no trace on a port it does not list.
#pragma once

#include <cstdint>
#include <string>

#include "serial/LineSettings.h"

namespace varnetik {

// True when name is a DOS device of this machine and no outgoing Bluetooth port (its entry in
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, or its device, is a \Device\BthModem one).
bool IsComPortWorthProbing(const std::string& name);

// True when name is worth probing, opens exclusively and takes line. Its DCB is put back as it was.
bool ProbeComPort(const std::string& name, const LineSettings& line, int64_t queueSize);

}  // namespace varnetik
