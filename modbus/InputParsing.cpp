#include "modbus/InputParsing.h"

#include <algorithm>
#include <string>

namespace varnetik {

// The text is UTF-8 and is read byte by byte: every byte of a multi-byte character is 0x80 or above,
// so it never passes for a blank, a sign, a prefix, a separator or a digit, and reading stops there.
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HasHexPrefix(std::string_view text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// A leading "0x"/"0X" means the same as "$"; anywhere else it is not a prefix.
uint16_t ReadLow16(std::string_view text) {
  if (HasHexPrefix(text)) {
    std::string dollar = "$";
    dollar.append(text.substr(2));
    return static_cast<uint16_t>(TextToInteger(dollar));
  }
  return static_cast<uint16_t>(TextToInteger(text));
}

}  // namespace

int64_t TextToInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  // Unsigned arithmetic gives the documented wrap-around without overflow.
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit < 0 || digit >= base) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (negative) value = 0 - value;
  return static_cast<int64_t>(value);
}

uint16_t ParseNumber(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  const size_t last = text.find_last_not_of(' ');
  return ReadLow16(text.substr(first, last - first + 1));
}

int64_t ParseValueList(std::string_view text, std::vector<uint16_t>& values) {
  std::string mapped(text);
  std::replace(mapped.begin(), mapped.end(), ',', ' ');
  std::replace(mapped.begin(), mapped.end(), ';', ' ');
  std::replace(mapped.begin(), mapped.end(), '\t', ' ');

  const auto blanks = static_cast<size_t>(std::count(mapped.begin(), mapped.end(), ' '));
  values.assign(blanks + 1, 0);

  // There are exactly blanks + 1 items, so found never passes the end of values.
  int64_t found = 0;
  const std::string_view all(mapped);
  size_t itemStart = 0;
  while (true) {
    const size_t blank = all.find(' ', itemStart);
    const std::string_view item =
        all.substr(itemStart, blank == std::string_view::npos ? std::string_view::npos : blank - itemStart);
    if (!item.empty()) values[static_cast<size_t>(found++)] = ReadLow16(item);
    if (blank == std::string_view::npos) break;
    itemStart = blank + 1;
  }
  return found;
}

}  // namespace varnetik
