// How an operator's port name becomes the device path that is opened.
#pragma once

#include <string>

namespace varnetik {

// "/..." is taken as typed; "COM<n>" (any letter case, n >= 1) is /dev/ttyS<n-1>, so names known from
// other systems keep working; any other name is looked up under /dev ("ttyUSB0" -> "/dev/ttyUSB0").
// On Windows (PortNameWin32.cpp) the first 59 characters of the name, as typed, follow the device
// namespace prefix: "COM3" -> "\\.\COM3"; the prefix also reaches COM10 and above. A name that already
// begins with \\.\ or \\?\ keeps its own prefix and 59 characters after it. Paths are UTF-8.
std::string DevicePathForPortName(const std::string& name);

}  // namespace varnetik
