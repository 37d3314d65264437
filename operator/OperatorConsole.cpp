#include "operator/OperatorConsole.h"

namespace varnetik {

std::string HexBytes(const uint8_t* bytes, int64_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  if (count <= 0) return text;
  text.reserve(static_cast<size_t>(count) * 3);
  for (int64_t i = 0; i < count; ++i) {
    if (i > 0) text.push_back(' ');
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

void OperatorConsole::LogHexDump(const std::string& label, const uint8_t* bytes, int64_t count) {
  LogLine(label + " (" + std::to_string(count) + " B): " + HexBytes(bytes, count));
}

}  // namespace varnetik
