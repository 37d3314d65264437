#include "tcp/TcpLink.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

#include "modbus/MonotonicClock.h"
#include "modbus/WaitHook.h"
#include "tcp/Socket.h"

namespace varnetik {

bool TcpPortInRange(int64_t port) { return port >= 1 && port <= 65535; }

TcpLink::~TcpLink() { TcpDisconnect(); }

LinkOpenResult TcpLink::TcpConnect() {
  TcpDisconnect();
  if (!TcpPortInRange(port)) return LinkOpenResult::Failed;
  Ipv4Address address = 0;
  if (!ResolveIpv4(host, address)) return LinkOpenResult::NameNotFound;
  const int64_t start = MonotonicMs();
  connection = ConnectIpv4(address, static_cast<uint16_t>(port), connectTimeoutMs);
  if (connection != kNoSocket) return LinkOpenResult::Opened;
  // The socket layer reports no cause; a connect that used up its limit met silence, one that ended
  // sooner was turned away.
  return MonotonicMs() - start >= connectTimeoutMs ? LinkOpenResult::TimedOut
                                                   : LinkOpenResult::RefusedOrUnreachable;
}

void TcpLink::TcpDisconnect() {
  if (connection == kNoSocket) return;
  CloseSocket(connection);
  connection = kNoSocket;
}

int64_t TcpLink::TcpSend(const uint8_t* bytes, int64_t count) {
  if (connection == kNoSocket) return -1;
  if (count <= 0) return 0;
  answerAwaited_ = true;
  return SendAll(connection, bytes, count);
}

ResultCode TcpLink::TcpReceiveExact(uint8_t* destination, int64_t count, int64_t timeoutMs) {
  if (count <= 0) return ResultCode::Success(0);
  if (timeoutMs <= 0) return TcpTimeoutOrShort;
  if (connection == kNoSocket) return TcpConnectionLost;
  const int64_t start = MonotonicMs();
  int64_t received = 0;
  bool waitFirst = std::exchange(answerAwaited_, false);
  while (received < count) {
    const int64_t left = timeoutMs - (MonotonicMs() - start);
    if (left <= 0) break;
    // One wait for the whole time that is left (a slice of it while a wait hook is set); it ends as soon
    // as bytes come.
    const int waitMs = static_cast<int>(std::min<int64_t>(WaitSliceMs(left), INT_MAX));
    if (waitFirst) WaitReadable(connection, waitMs);
    waitFirst = true;
    int64_t got = 0;
    switch (ReceiveNow(connection, destination + received, count - received, got)) {
      case ReceiveOutcome::Bytes:
        received += got;
        break;
      case ReceiveOutcome::NothingThere:
        break;
      case ReceiveOutcome::PeerClosed:
        // Nothing more can come, but a closed peer is reported as a timeout, after the time a silent one
        // takes: the operator's message and the retry rule do not tell the two apart. A closed socket
        // reads as readable at once, so this sleep is what keeps the loop from spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        break;
      case ReceiveOutcome::Error:
        return TcpConnectionLost;
    }
    ServeWaitHook();
  }
  return received == count ? ResultCode::Success(count) : TcpTimeoutOrShort;
}

void TcpLink::TcpDiscardUntilQuiet(int64_t quietMs, int64_t timeoutMs) {
  if (connection == kNoSocket) return;
  const int64_t start = MonotonicMs();
  int64_t lastBytes = start;
  uint8_t sink[512];
  for (;;) {
    // Sleeps until bytes come or one of the two limits is reached, rather than polling every millisecond.
    const int64_t now = MonotonicMs();
    const int64_t left = std::min(quietMs - (now - lastBytes), timeoutMs - (now - start));
    if (left <= 0) return;
    int64_t got = 0;
    switch (ReceiveNow(connection, sink, sizeof sink, got)) {
      case ReceiveOutcome::Bytes:
        lastBytes = MonotonicMs();
        break;
      case ReceiveOutcome::NothingThere:
        WaitReadable(connection, static_cast<int>(WaitSliceMs(left)));
        ServeWaitHook();
        break;
      case ReceiveOutcome::PeerClosed:
      case ReceiveOutcome::Error:
        return;  // nothing more can come; the next exchange reports the state of the connection
    }
  }
}

}  // namespace varnetik
