// Opening a COM device and setting its line, shared by the serial port and the scan's probe on Windows,
// so that a probe tests exactly the configuration a later open will make.
#pragma once

#include <windows.h>

#include <string>

#include "serial/LineSettings.h"

namespace varnetik {

// UTF-8 to UTF-16 for the wide Win32 calls; empty for an empty text.
std::wstring Utf16(const std::string& text);

// The device of portName (see DevicePathForPortName), opened exclusively for synchronous I/O;
// INVALID_HANDLE_VALUE when it cannot be opened, with the reason in GetLastError.
HANDLE OpenComDevice(const std::string& portName);

// Sets line on the port's DCB and makes the data path 8-bit clean whatever the previous program left in
// the driver: binary mode, no XON/XOFF, no DSR flow control or sensitivity, no byte replaced or dropped,
// no abort on a line error. Parity checking on for every parity; with handshake 0 no CTS flow control
// and RTS off. DTR stays as the driver had it. Mark and space parity and character sizes other than 7
// and 8 are refused, as on the POSIX side. False when the driver refuses the settings.
bool ConfigureLine(HANDLE port, const LineSettings& line);

}  // namespace varnetik
