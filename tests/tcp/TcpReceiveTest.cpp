// TcpReceiveExact and TcpSend against a peer on loopback that the test controls byte by byte.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "tcp/TcpLink.h"
#include "tests/tcp/LoopbackPeer.h"

namespace varnetik {
namespace {

using testing::LoopbackPort;
using testing::MillisecondsTaken;
using testing::ScopedFd;
using testing::SendBytes;

class TcpReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link.host = "127.0.0.1";
    link.port = listener.Port();
    ASSERT_EQ(link.TcpConnect(), LinkOpenResult::Opened);
    peer.Reset(listener.Accept());
    ASSERT_NE(peer.Get(), kNoSocket);
  }

  LoopbackPort listener{true};
  TcpLink link;
  ScopedFd peer;
  std::array<uint8_t, 16> buffer{};
};

TEST_F(TcpReceiveTest, CollectsAHeaderSentInThreePieces) {
  std::thread server([&] {
    for (const std::vector<uint8_t>& piece : {std::vector<uint8_t>{0x00, 0x01},
                                              std::vector<uint8_t>{0x00, 0x00, 0x00},
                                              std::vector<uint8_t>{0x06, 0x01}}) {
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      SendBytes(peer.Get(), piece);
    }
  });
  EXPECT_EQ(link.TcpReceiveExact(buffer.data(), 7, 2000), ResultCode::Success(7));
  server.join();
  EXPECT_EQ((std::vector<uint8_t>(buffer.begin(), buffer.begin() + 7)),
            (std::vector<uint8_t>{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01}));
}

TEST_F(TcpReceiveTest, ShortReplyTimesOutAndKeepsTheBytesReceived) {
  SendBytes(peer.Get(), {1, 2, 3, 4, 5});
  ResultCode result{0};
  const int64_t ms = MillisecondsTaken([&] { result = link.TcpReceiveExact(buffer.data(), 7, 300); });
  EXPECT_EQ(result, TcpTimeoutOrShort);
  EXPECT_GE(ms, 250);
  EXPECT_LT(ms, 3000);
  EXPECT_EQ((std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6)),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 0}));
}

TEST_F(TcpReceiveTest, PeerThatClosesIsATimeoutAfterTheFullLimit) {
  std::thread server([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.Close();
  });
  ResultCode result{0};
  const int64_t ms = MillisecondsTaken([&] { result = link.TcpReceiveExact(buffer.data(), 7, 400); });
  server.join();
  EXPECT_EQ(result, TcpTimeoutOrShort);
  EXPECT_GE(ms, 350);
  EXPECT_LT(ms, 3000);
}

TEST_F(TcpReceiveTest, ResetIsAConnectionLossReportedAtOnce) {
  if (testing::ResetReadsAsOrderlyClose()) GTEST_SKIP() << "this Wine reports a reset as a close";
  std::thread server([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    testing::ResetConnection(peer);
  });
  ResultCode result{0};
  const int64_t ms = MillisecondsTaken([&] { result = link.TcpReceiveExact(buffer.data(), 7, 4000); });
  server.join();
  EXPECT_EQ(result, TcpConnectionLost);
  EXPECT_LT(ms, 2000);
}

TEST_F(TcpReceiveTest, CountZeroAndTimeoutZeroLeaveTheSocketAlone) {
  SendBytes(peer.Get(), {1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(link.TcpReceiveExact(buffer.data(), 0, 1000), ResultCode::Success(0));
  EXPECT_EQ(link.TcpReceiveExact(buffer.data(), 7, 0), TcpTimeoutOrShort);
  EXPECT_EQ(buffer[0], 0);
  // Nothing was taken from the connection by the two calls above.
  EXPECT_EQ(link.TcpReceiveExact(buffer.data(), 7, 2000), ResultCode::Success(7));
  EXPECT_EQ(buffer[6], 7);
}

TEST_F(TcpReceiveTest, SendAfterPeerResetFailsWithoutEndingTheProcess) {
  const std::array<uint8_t, 12> request{0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 10};
  ASSERT_EQ(link.TcpSend(request.data(), 12), 12);
  testing::ResetConnection(peer);
  // The reset may arrive after a send or two has been buffered. The first failing send reports the
  // reset itself; the ones after it hit a broken pipe, which by default raises SIGPIPE.
  int failures = 0;
  for (int attempt = 0; attempt < 200 && failures < 3; ++attempt) {
    if (link.TcpSend(request.data(), 12) < 0) {
      ++failures;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  EXPECT_EQ(failures, 3);
}

// Bytes that come after the line has been quiet belong to the next answer and are left for it.
TEST_F(TcpReceiveTest, DiscardStopsWhenTheLineFallsQuiet) {
  std::thread server([&] {
    SendBytes(peer.Get(), std::vector<uint8_t>(600, 0xEE));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SendBytes(peer.Get(), {0xEE, 0xEE});
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    SendBytes(peer.Get(), {1, 2, 3, 4, 5, 6, 7});
  });
  link.TcpDiscardUntilQuiet(150, 3000);
  EXPECT_EQ(link.TcpReceiveExact(buffer.data(), 7, 2000), ResultCode::Success(7));
  server.join();
  EXPECT_EQ((std::vector<uint8_t>(buffer.begin(), buffer.begin() + 7)),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}));
}

// A line that never falls quiet is drained no longer than the time limit.
TEST_F(TcpReceiveTest, DiscardEndsAtItsLimitOnABusyLine) {
  std::atomic<bool> stop = false;
  std::thread server([&] {
    while (!stop) {
      SendBytes(peer.Get(), {0xEE});
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const int64_t ms = MillisecondsTaken([&] { link.TcpDiscardUntilQuiet(300, 500); });
  stop = true;
  server.join();
  EXPECT_GE(ms, 450);
  EXPECT_LT(ms, 3000);
}

TEST(TcpLinkWithoutConnection, SendAndReceiveFail) {
  TcpLink link;
  uint8_t byte = 0;
  EXPECT_LT(link.TcpSend(&byte, 1), 0);
  EXPECT_EQ(link.TcpReceiveExact(&byte, 0, 100), ResultCode::Success(0));
  EXPECT_EQ(link.TcpReceiveExact(&byte, 1, 100), TcpConnectionLost);
}

}  // namespace
}  // namespace varnetik
