#include "serial/PortName.h"

#include <cctype>
#include <cstdint>

namespace varnetik {

namespace {

// Number after a case-insensitive "COM" prefix; 0 when the name has another form. Nine digits at most
// keep the value far from overflow; longer numbers are no COM name.
int64_t ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 12) return 0;
  if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
      std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
      std::toupper(static_cast<unsigned char>(name[2])) != 'M') {
    return 0;
  }
  int64_t number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

}  // namespace

std::string DevicePathForPortName(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  int64_t number = ComPortNumber(name);
  if (number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
  return "/dev/" + name;
}

}  // namespace varnetik
