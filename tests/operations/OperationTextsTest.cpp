// The shared texts on their own: number forms, the blank test of the value field, and the OK lines of
// both links side by side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operator/OperationTexts.h"

namespace varnetik {
namespace {

TEST(OperationTextsTest, NumberForms) {
  struct Case {
    uint16_t value;
    const char* hex4;
    const char* dec;
  };
  for (const Case& c : std::vector<Case>{{0, "0000", "0"},
                                         {10, "000A", "10"},
                                         {255, "00FF", "255"},
                                         {0xABCD, "ABCD", "43981"},
                                         {65535, "FFFF", "65535"}}) {
    EXPECT_EQ(Hex4(c.value), c.hex4) << c.value;
    EXPECT_EQ(Dec(c.value), c.dec) << c.value;
  }
}

TEST(OperationTextsTest, OnlySpacesCountAsBlank) {
  struct Case {
    const char* text;
    bool blank;
  };
  for (const Case& c : std::vector<Case>{
           {"", true}, {"   ", true}, {"\t", false}, {" \t ", false}, {",", false}, {" 1 ", false}}) {
    EXPECT_EQ(IsBlankEntry(c.text), c.blank) << '"' << c.text << '"';
  }
}

TEST(OperationTextsTest, OkLinesOfBothLinks) {
  struct Case {
    std::string line;
    const char* expected;
  };
  for (const Case& c : std::vector<Case>{
           {ReadOkLine(0x03, 10, 100), "OK: FC03 \u2013 10 Register ab 0x0064 (100)"},
           {ReadOkLine(0x04, 1, 65535), "OK: FC04 \u2013 1 Register ab 0xFFFF (65535)"},
           {WriteOneOkLine(16, 255, false), "OK: FC06 \u2013 Reg 0x0010 (16) := $00FF (255)"},
           {WriteOneOkLine(100, 42, true), "OK: FC06 (TCP) \u2013 Reg 0x0064 (100) := $002A (42)"},
           {WriteManyOkLine(3, 100, false), "OK: FC16 \u2013 3 Register ab 0x0064 (100)"},
           {WriteManyOkLine(3, 100, true), "OK: FC16 (TCP) \u2013 3 Register ab 0x0064 (100)"},
       }) {
    EXPECT_EQ(c.line, c.expected);
  }
}

// Addresses of a block wrap at 65536 in the detail lines and the table rows alike.
TEST(OperationTextsTest, BlockAddressesWrap) {
  std::vector<uint16_t> values{1, 2};
  EXPECT_EQ(WriteManyDetailLines(65535, values, 2),
            (std::vector<std::string>{"    0xFFFF (65535) = $0001 (1), 0x0000 (0) = $0002 (2)"}));
  EXPECT_EQ(ResultRows(65535, values, 2),
            (std::vector<ResultRow>{{"0xFFFF", "65535", "$0001", "1"}, {"0x0000", "0", "$0002", "2"}}));
}

}  // namespace
}  // namespace varnetik
