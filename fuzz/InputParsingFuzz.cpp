// The readers of typed numbers and value lists with any bytes an operator's field might hold (UTF-8 or
// not). The input is the text itself, in a buffer of exactly its size.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "modbus/InputParsing.h"

namespace varnetik::fuzz {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == ';' || c == '\t'; }

// Splits at every single separator, as the list reader is documented to do.
std::vector<std::string_view> Items(std::string_view text) {
  std::vector<std::string_view> items;
  size_t from = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || IsSeparator(text[i])) {
      items.push_back(text.substr(from, i - from));
      from = i + 1;
    }
  }
  return items;
}

void CheckNumbers(std::string_view text) {
  // The first byte of a multi-byte character never continues a number.
  const int64_t value = TextToInteger(text);
  FUZZ_CHECK(TextToInteger(std::string(text) + "\xC3\xA4") == value);

  // Blanks around a field do not count.
  const uint16_t number = ParseNumber(text);
  FUZZ_CHECK(ParseNumber(" " + std::string(text) + "  ") == number);
  const bool hexPrefix = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const bool blankAtEnd = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  if (!hexPrefix && !blankAtEnd) FUZZ_CHECK(number == static_cast<uint16_t>(value));
}

void CheckValueList(std::string_view text) {
  std::vector<uint16_t> values(7, 0xBEEF);  // whatever the caller held before is replaced
  const int64_t found = ParseValueList(text, values);

  const std::vector<std::string_view> items = Items(text);
  FUZZ_CHECK(values.size() == items.size());
  size_t next = 0;
  for (const std::string_view item : items) {
    if (item.empty()) continue;
    FUZZ_CHECK(next < values.size() && values[next] == ParseNumber(item));
    ++next;
  }
  FUZZ_CHECK(found == static_cast<int64_t>(next));
  for (size_t i = next; i < values.size(); ++i) FUZZ_CHECK(values[i] == 0);
}

}  // namespace
}  // namespace varnetik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnetik::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckNumbers(text);
  CheckValueList(text);
  return 0;
}
