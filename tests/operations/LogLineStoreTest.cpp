// The log's line store: lines come back byte for byte whatever their length and wherever they fall in
// the chunks and blocks, stay where they are while more lines arrive, and go all at once.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "operator/LogLineStore.h"

namespace varnetik {
namespace {

constexpr size_t kChunk = size_t{1} << 20;  // the store's chunk size, which the cases straddle

std::string Filled(size_t length, char first) {
  std::string line(length, first);
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>(first + static_cast<char>(i % 23));
  return line;
}

TEST(LogLineStoreTest, LinesComeBackByteForByte) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases{
      {"empty and short lines", {"", "a", "", "[12:00:00] Bereit."}},
      {"umlauts and dashes", {"[08:15:30] Verbindung ge\xC3\xB6" "ffnet \xE2\x80\x93 COM5", "\xC3\x84\xC3\x96\xC3\x9C"}},
      {"a line that fills the rest of a chunk exactly", {Filled(kChunk - 10, 'a'), Filled(10, 'b'), "next chunk"}},
      {"a line one byte too long for the rest of a chunk", {Filled(kChunk - 10, 'c'), Filled(11, 'd'), "e"}},
      {"a line longer than a chunk between short ones", {"before", Filled(3 * kChunk + 7, 'f'), "after"}},
      {"a line with a NUL byte", {std::string("a\0b", 3)}},
  };
  for (const Case& c : cases) {
    LogLineStore store;
    for (const std::string& line : c.lines) store.Append(line);
    ASSERT_EQ(store.Count(), static_cast<int64_t>(c.lines.size())) << c.name;
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(store.Line(static_cast<int64_t>(i)), c.lines[i]) << c.name << ", line " << i;
    EXPECT_EQ(store.Line(-1), std::string_view()) << c.name;
    EXPECT_EQ(store.Line(store.Count()), std::string_view()) << c.name;
  }
}

// Across several blocks of places and chunks of bytes, and once more after clearing: the views handed out
// early still show their lines after the later appends, so nothing was moved.
TEST(LogLineStoreTest, ManyLinesStayInPlaceAndClearRemovesAll) {
  LogLineStore store;
  for (int round = 0; round < 2; ++round) {
    constexpr int kLines = 150000;  // more than two blocks of places, several chunks of 200-byte lines
    const std::string pattern = Filled(200, 'A');
    store.Append("first");
    const std::string_view first = store.Line(0);
    for (int i = 1; i < kLines; ++i) store.Append(std::to_string(i) + pattern.substr(0, static_cast<size_t>(i % 201)));
    ASSERT_EQ(store.Count(), kLines);
    EXPECT_EQ(first.data(), store.Line(0).data());
    EXPECT_EQ(first, "first");
    for (int i : {1, 65535, 65536, 65537, 131072, kLines - 1}) {
      EXPECT_EQ(store.Line(i), std::to_string(i) + pattern.substr(0, static_cast<size_t>(i % 201))) << "round " << round << ", line " << i;
    }
    store.Clear();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(store.Line(0), std::string_view());
  }
}

}  // namespace
}  // namespace varnetik
