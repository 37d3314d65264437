// RtuExchange against a device played on the master side of a pseudo-terminal.
#include <numeric>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/RtuLink.h"
#include "tests/serial/TerminalPair.h"

namespace varnetik {
namespace {

using testing::ElapsedMs;
using testing::TerminalPair;

const std::vector<uint8_t> kRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};

class RtuExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link.portName = pair.Path();
    ASSERT_TRUE(link.RtuOpenPort());
  }

  // The device: takes a request of requestLength bytes, then answers with reply (if any).
  std::thread Device(size_t requestLength, std::vector<uint8_t> reply) {
    return std::thread([this, requestLength, reply] {
      received = pair.Receive(requestLength);
      if (!reply.empty()) pair.Send(reply);
    });
  }

  RtuExchangeResult Exchange(const std::vector<uint8_t>& request, int64_t expected, int64_t capacity,
                             int64_t timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    RtuExchangeResult result = link.RtuExchange(request.data(), static_cast<int64_t>(request.size()), expected,
                                                response.data(), capacity, timeoutMs);
    elapsedMs = ElapsedMs(start);
    return result;
  }

  // The count of an exchange that got as far as collecting.
  int64_t Collect(const std::vector<uint8_t>& request, int64_t expected, int64_t capacity, int64_t timeoutMs) {
    const RtuExchangeResult result = Exchange(request, expected, capacity, timeoutMs);
    EXPECT_EQ(result.status, RtuExchangeStatus::Collected);
    return result.received;
  }

  TerminalPair pair;
  RtuLink link;
  std::vector<uint8_t> received;
  RtuRxFrame response{};
  int64_t elapsedMs = 0;
};

TEST_F(RtuExchangeTest, StaleBytesAreDroppedBeforeTheRequest) {
  pair.Send({0xDE, 0xAD, 0xBE, 0xEF, 0x00});  // a late answer to some earlier request
  ASSERT_TRUE(testing::WaitUntilWaiting(link.serialPort, 5));
  const std::vector<uint8_t> answer = {0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33};
  std::thread device = Device(kRequest.size(), answer);
  int64_t result = Collect(kRequest, 7, kRtuRxFrameSize, 3000);
  device.join();
  EXPECT_EQ(received, kRequest);
  ASSERT_EQ(result, 7);
  EXPECT_EQ(std::vector<uint8_t>(response.begin(), response.begin() + 7), answer);
}

TEST_F(RtuExchangeTest, StopsAsSoonAsTheExpectedBytesAreIn) {
  std::thread device = Device(kRequest.size(), std::vector<uint8_t>(8, 0x42));
  int64_t result = Collect(kRequest, 8, kRtuRxFrameSize, 5000);
  device.join();
  EXPECT_EQ(result, 8);
  EXPECT_LT(elapsedMs, 4000);
}

TEST_F(RtuExchangeTest, ShortOrMissingAnswerEndsOnlyWithTheBudget) {
  const struct {
    size_t answerLength;
    int64_t expected;
    int64_t timeoutMs;
  } cases[] = {{0, 8, 50}, {0, 7, 300}, {5, 7, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.timeoutMs);
    std::thread device = Device(kRequest.size(), std::vector<uint8_t>(c.answerLength, 0x81));
    int64_t result = Collect(kRequest, c.expected, kRtuRxFrameSize, c.timeoutMs);
    device.join();
    EXPECT_EQ(received, kRequest);
    EXPECT_EQ(result, static_cast<int64_t>(c.answerLength));
    EXPECT_GE(elapsedMs, c.timeoutMs - 1);
    EXPECT_LT(elapsedMs, c.timeoutMs + 3000);
  }
}

TEST_F(RtuExchangeTest, ABurstLongerThanExpectedIsKeptWhole) {
  std::vector<uint8_t> burst(20);
  std::iota(burst.begin(), burst.end(), uint8_t{1});
  std::thread device = Device(kRequest.size(), burst);
  int64_t result = Collect(kRequest, 8, kRtuRxFrameSize, 3000);
  device.join();
  // Every byte waiting is read in one go, so the result may pass the expected length.
  ASSERT_GT(result, 8);
  ASSERT_LE(result, 20);
  EXPECT_TRUE(std::equal(response.begin(), response.begin() + result, burst.begin()));
}

TEST_F(RtuExchangeTest, TheCapacityIsNeverPassed) {
  std::thread device = Device(kRequest.size(), std::vector<uint8_t>(20, 0x77));
  int64_t result = Collect(kRequest, 0, 10, 5000);
  device.join();
  EXPECT_EQ(result, 10);
  EXPECT_EQ(response[10], 0);
  EXPECT_LT(elapsedMs, 4000);
}

TEST_F(RtuExchangeTest, EveryByteValuePassesBothWays) {
  // XON/XOFF (0x11, 0x13), CR/LF, erase and interrupt characters included.
  std::vector<uint8_t> all(256);
  std::iota(all.begin(), all.end(), uint8_t{0});
  std::thread device([this, &all] {
    received = pair.Receive(all.size());
    pair.Send(received);
  });
  int64_t result = Collect(all, 256, kRtuRxFrameSize, 3000);
  device.join();
  EXPECT_EQ(received, all);
  ASSERT_EQ(result, 256);
  EXPECT_TRUE(std::equal(all.begin(), all.end(), response.begin()));
}

TEST_F(RtuExchangeTest, ClosedPortAndHungUpLineAreReported) {
  pair.CloseMaster();  // the device is gone: the write cannot take the request
  EXPECT_EQ(Exchange(kRequest, 8, kRtuRxFrameSize, 100).status, RtuExchangeStatus::SendFailed);
  EXPECT_TRUE(link.IsOpen());
  link.RtuClosePort();
  EXPECT_EQ(Exchange(kRequest, 8, kRtuRxFrameSize, 100).status, RtuExchangeStatus::NoPortOpen);
}

}  // namespace
}  // namespace varnetik
