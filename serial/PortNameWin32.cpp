#include "serial/PortName.h"

#include <cstddef>

namespace varnetik {

namespace {

constexpr size_t kMaxNameCharacters = 59;

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
  return "\\\\.\\" + name.substr(0, Utf8PrefixLength(name, kMaxNameCharacters));
}

}  // namespace varnetik
