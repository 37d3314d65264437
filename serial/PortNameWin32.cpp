#include "serial/PortName.h"

#include <cstddef>

namespace varnetik {

namespace {

constexpr size_t kMaxNameCharacters = 59;
constexpr char kDevicePrefix[] = "\\\\.\\";

// A name typed as a whole device path already reaches the device namespace: \\.\COM10, or \\?\COM10.
bool HasDevicePrefix(const std::string& name) {
  return name.size() > 4 && name[0] == '\\' && name[1] == '\\' && (name[2] == '.' || name[2] == '?') &&
         name[3] == '\\';
}

// Byte length of the first `characters` UTF-8 characters of text: a cut never splits a character.
size_t Utf8PrefixLength(const std::string& text, size_t characters) {
  size_t at = 0;
  for (size_t seen = 0; at < text.size() && seen < characters; ++seen) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

}  // namespace

std::string DevicePathForPortName(const std::string& name) {
  if (HasDevicePrefix(name)) return name.substr(0, 4 + Utf8PrefixLength(name.substr(4), kMaxNameCharacters));
  return kDevicePrefix + name.substr(0, Utf8PrefixLength(name, kMaxNameCharacters));
}

}  // namespace varnetik
