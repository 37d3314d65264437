#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "modbus/Frames.h"
#include "tests/modbus/ScriptedRtuExchanger.h"

namespace varnetik {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Crc16, CheckValues) {
  const struct {
    std::string text;
    uint16_t crc;
  } cases[] = {{"123456789", 0x4B37}, {"abc", 0x5749}, {"", 0xFFFF}};
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.text.data());
    EXPECT_EQ(Crc16(bytes, static_cast<int64_t>(c.text.size())), c.crc) << c.text;
  }
  EXPECT_EQ(testing::WithCrc({0x61, 0x62, 0x63}), (Bytes{0x61, 0x62, 0x63, 0x49, 0x57}));
}

struct BuiltFrame {
  const char* name;
  std::function<int64_t(uint8_t*)> build;
  Bytes expected;
};

void ExpectBuilt(const std::vector<BuiltFrame>& cases) {
  for (const BuiltFrame& c : cases) {
    RtuTxFrame frame{};
    const int64_t length = c.build(frame.data());
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + length), c.expected) << c.name;
  }
}

TEST(RequestBuilders, WorkedRtuFramesByteForByte) {
  const std::vector<uint16_t> tenAndTwenty{10, 20};
  ExpectBuilt({
      {"read 10 holding from 0",
       [](uint8_t* f) { return BuildRtuReadRequest(f, 1, 0x03, 0, 10); },
       {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
      {"read 2 input from 16",
       [](uint8_t* f) { return BuildRtuReadRequest(f, 1, 0x04, 16, 2); },
       {0x01, 0x04, 0x00, 0x10, 0x00, 0x02, 0x70, 0x0E}},
      {"write 3 to 1",
       [](uint8_t* f) { return BuildRtuWriteSingleRequest(f, 1, 1, 3); },
       {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B}},
      {"write 10,20 to 1",
       [&](uint8_t* f) { return BuildRtuWriteMultipleRequest(f, 1, 1, tenAndTwenty, 2); },
       {0x01, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x00, 0x14, 0x12, 0x6E}},
      {"read pdu", [](uint8_t* f) { return BuildReadPdu(f, 0x03, 0, 10); }, {0x03, 0x00, 0x00, 0x00, 0x0A}},
      {"write one pdu",
       [](uint8_t* f) { return BuildWriteSinglePdu(f, 1, 3); },
       {0x06, 0x00, 0x01, 0x00, 0x03}},
      {"write many pdu",
       [&](uint8_t* f) { return BuildWriteMultiplePdu(f, 1, tenAndTwenty, 2); },
       {0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x00, 0x14}},
  });
}

TEST(RequestBuilders, SlaveIdFillsTheAddressByte) {
  RtuTxFrame frame{};
  BuildRtuReadRequest(frame.data(), 247, 0x03, 0, 1);
  EXPECT_EQ(frame[0], 247);
  EXPECT_TRUE(RtuCrcMatches(frame.data(), 8));
}

TEST(RtuCrcMatches, WorkedResponsesAndSwappedCrc) {
  const Bytes responses[] = {
      {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32},
      {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B},
      {0x01, 0x10, 0x00, 0x01, 0x00, 0x02, 0x10, 0x08},
      {0x01, 0x83, 0x02, 0xC0, 0xF1},
  };
  for (Bytes frame : responses) {
    const auto length = static_cast<int64_t>(frame.size());
    EXPECT_TRUE(RtuCrcMatches(frame.data(), length)) << ::testing::PrintToString(frame);
    std::swap(frame[frame.size() - 1], frame[frame.size() - 2]);
    EXPECT_FALSE(RtuCrcMatches(frame.data(), length)) << ::testing::PrintToString(frame);
  }
  const uint8_t tooShort[] = {0xFF};
  EXPECT_FALSE(RtuCrcMatches(tooShort, 1));
}

TEST(RtuCrcMatches, SwappedCrcWithEqualBytesStillMatches) {
  for (unsigned payload = 0; payload < 0x10000; ++payload) {
    Bytes frame = testing::WithCrc({static_cast<uint8_t>(payload >> 8), static_cast<uint8_t>(payload)});
    if (frame[2] != frame[3]) continue;
    std::swap(frame[2], frame[3]);
    EXPECT_TRUE(RtuCrcMatches(frame.data(), 4));
    return;
  }
  FAIL() << "no two-byte payload with equal CRC bytes";
}

TEST(Frames, LargestFramesFitTheirBuffers) {
  EXPECT_EQ(ExpectedReadResponseLength(1), 7);
  EXPECT_EQ(ExpectedReadResponseLength(125), 255);
  EXPECT_EQ(ExpectedReadResponseLength(65535), 131075);

  const std::vector<uint16_t> values(123, 0xBEEF);
  RtuTxFrame frame{};
  ASSERT_EQ(BuildRtuWriteMultipleRequest(frame.data(), 1, 0, values, 123), 255);
  EXPECT_LE(255, kRtuTxFrameSize);
  EXPECT_EQ(frame[6], 246);
  EXPECT_TRUE(RtuCrcMatches(frame.data(), 255));
  EXPECT_EQ(BuildWriteMultiplePdu(frame.data(), 0, values, 123) + kMbapHeaderSize, 259);
}

// The builders are handed caller data; a count that does not fit the values or the buffer must neither
// read past the vector nor write past the 261-byte frame.
TEST(RequestBuilders, OutOfContractCountsStayInsideTheirBuffers) {
  const struct {
    size_t valueCount;
    int64_t count;
    int64_t expectedLength;
  } cases[] = {{1, 3, 15}, {0, 2, 13}, {300, 200, 255}, {5, -4, 9}};
  for (const auto& c : cases) {
    RtuTxFrame frame;
    frame.fill(0xAA);
    const std::vector<uint16_t> values(c.valueCount, 0x1234);
    const int64_t length = BuildRtuWriteMultipleRequest(frame.data(), 1, 0, values, c.count);
    ASSERT_EQ(length, c.expectedLength) << c.count;
    const int64_t n = (length - 9) / 2;
    EXPECT_EQ(frame[4] * 256 + frame[5], n);
    EXPECT_EQ(frame[6], 2 * n);
    for (int64_t i = 0; i < n; ++i) {
      const uint16_t sent = static_cast<uint16_t>(frame[7 + 2 * i] * 256 + frame[8 + 2 * i]);
      EXPECT_EQ(sent, static_cast<size_t>(i) < c.valueCount ? 0x1234 : 0) << c.count << " entry " << i;
    }
    EXPECT_TRUE(RtuCrcMatches(frame.data(), length));
    for (int64_t i = length; i < kRtuTxFrameSize; ++i) ASSERT_EQ(frame[i], 0xAA) << c.count;
  }
}

TEST(IsKnownExceptionCode, ExactlyTheNineNamedCodes) {
  const std::vector<int> known{1, 2, 3, 4, 5, 6, 8, 10, 11};
  for (int code = 0; code < 256; ++code) {
    const bool expected = std::find(known.begin(), known.end(), code) != known.end();
    EXPECT_EQ(IsKnownExceptionCode(static_cast<uint8_t>(code)), expected) << code;
  }
}

}  // namespace
}  // namespace varnetik
