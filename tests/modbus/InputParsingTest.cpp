#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "modbus/InputParsing.h"

namespace varnetik {
namespace {

TEST(TextToInteger, SignsPrefixesAndWrapAround) {
  const struct {
    std::string text;
    int64_t value;
  } cases[] = {
      {" \t+42", 42},
      {"-17x", -17},
      {"$ff", 255},
      {"-$10", -16},
      {"%1012", 5},
      {"--1", 0},
      {"+-1", 0},
      {"$", 0},
      {"0x10", 0},  // "0x" is the number readers' business, not this one's
      {"9223372036854775807", std::numeric_limits<int64_t>::max()},
      {"9223372036854775808", std::numeric_limits<int64_t>::min()},
      {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
      {"18446744073709551617", 1},
      {"$FFFFFFFFFFFFFFFF", -1},
      {"$10000000000000005", 5},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInteger(c.text), c.value) << c.text;
}

TEST(ParseNumber, TypedTexts) {
  const struct {
    std::string text;
    uint16_t value;
  } cases[] = {
      {"100", 100},  {"  100  ", 100}, {"0x1F", 31},    {"0X1f", 31}, {"$1F", 31},     {"%101", 5},
      {"0010", 10},  {"-1", 65535},    {"-$10", 65520}, {"65536", 0}, {"70000", 4464}, {"12abc", 12},
      {"1.5", 1},    {"1e3", 1},       {"abc", 0},      {"", 0},      {"   ", 0},      {"-0x10", 0},
      {"\t0x1F", 0}, {"0x", 0},        {" 0x1F ", 31},  {"65537", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
}

// Operators type into Unicode fields; no byte of a multi-byte character may pass for a digit, a blank
// or a separator, and broken UTF-8 must be just as harmless.
TEST(ParseNumber, AnyUtf8ReadsSafely) {
  const struct {
    std::string text;
    uint16_t value;
  } cases[] = {
      {"12\xC3\xA4", 12},               // 12ä
      {"\xEF\xBC\x91\xEF\xBC\x92", 0},  // full-width digits
      {"\xC2\xA0\x35", 0},              // no-break space and 5: not a blank
      {"\xE2\x88\x92\x35", 0},          // minus sign U+2212 and 5: not "-"
      {"$\xF0\x9F\x98\x80", 0},         // emoji after the prefix
      {"\xFF\xFE\x80", 0},              // not UTF-8 at all
      {std::string("7\0008", 3), 7},    // an embedded NUL ends the number
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
}

struct ListCase {
  std::string text;
  int64_t count;
  std::vector<uint16_t> values;
  size_t arraySize;
};

const ListCase kLists[] = {
    {"10,20,30", 3, {10, 20, 30}, 3},
    {"10, 20, 30", 3, {10, 20, 30}, 5},
    {"10;20 30\t40", 4, {10, 20, 30, 40}, 4},
    {",10,,20,", 2, {10, 20}, 5},
    {"0x10,$20,%11", 3, {16, 32, 3}, 3},
    {"10,x,30", 3, {10, 0, 30}, 3},
    {"- 5", 2, {0, 5}, 2},
    {",,,", 0, {}, 4},
    {", , ,", 0, {}, 6},
    {"65537", 1, {1}, 1},
    {"", 0, {}, 1},
    {"0X1f;-1", 2, {31, 65535}, 2},
    {"\t 7", 1, {7}, 3},
    {"1\xC2\xA0\x32,3", 2, {1, 3}, 2},             // 1, no-break space, 2: no separator
    {"\xE2\x80\x9A\x35,\xFF,6", 3, {0, 0, 6}, 3},  // a look-alike comma and a stray byte are items
};

TEST(ParseValueList, TypedLists) {
  for (const ListCase& c : kLists) {
    std::vector<uint16_t> values(7, 0xAAAA);  // leftovers of an earlier list must not survive
    const int64_t count = ParseValueList(c.text, values);
    EXPECT_EQ(count, c.count) << '"' << c.text << '"';
    ASSERT_EQ(values.size(), c.arraySize) << '"' << c.text << '"';
    EXPECT_EQ(std::vector<uint16_t>(values.begin(), values.begin() + count), c.values) << c.text;
    for (size_t i = static_cast<size_t>(count); i < values.size(); ++i) EXPECT_EQ(values[i], 0) << c.text;
  }
}

TEST(ParseValueList, CountsBeyondTheWriteLimit) {
  std::string text;
  for (int i = 1; i <= 124; ++i) text += std::to_string(i) + ",";
  std::vector<uint16_t> values;
  EXPECT_EQ(ParseValueList(text, values), 124);
  EXPECT_EQ(values.size(), 125u);
  EXPECT_EQ(values[123], 124);
}

}  // namespace
}  // namespace varnetik
