#include "serial/RtuLink.h"

#include <algorithm>
#include <array>

#include "serial/MonotonicClock.h"
#include "serial/SerialPort.h"

namespace varnetik {

namespace {

constexpr int64_t kLinkQueueSize = 4096;
constexpr int kEmptyPollWaitMs = 1;

}  // namespace

RtuLink::~RtuLink() { RtuClosePort(); }

bool RtuLink::RtuOpenPort() {
  RtuClosePort();
  int64_t port = SerialOpen(portName, baudRate, parity, dataBits, stopBits, handshake, kLinkQueueSize,
                            kLinkQueueSize);
  if (port == kNoSerialPort) return false;
  portHandle = port;
  SerialSetTimeouts(portHandle, readIntervalTimeoutMs, rxTimeoutMs, readTotalTimeoutMultiplierMs,
                    writeTotalTimeoutConstantMs, writeTotalTimeoutMultiplierMs);
  RtuFlushRx();
  return true;
}

void RtuLink::RtuClosePort() {
  if (!IsOpen()) return;
  SerialClose(portHandle);
  portHandle = -1;
}

void RtuLink::RtuFlushRx() {
  if (!IsOpen()) return;
  std::array<uint8_t, kRtuRxFrameSize> scratch;
  for (;;) {
    int64_t waiting = SerialBytesWaiting(portHandle);
    if (waiting <= 0) return;
    // A queue that reports bytes but yields none (a failing device) must not hold the flush forever.
    if (SerialRead(portHandle, scratch.data(), std::min<int64_t>(waiting, kRtuRxFrameSize)) <= 0) return;
  }
}

RtuExchangeResult RtuLink::RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                       uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) {
  if (!IsOpen()) return {RtuExchangeStatus::NoPortOpen, 0};
  RtuFlushRx();
  if (SerialWrite(portHandle, request, requestLength) != requestLength) {
    return {RtuExchangeStatus::SendFailed, 0};
  }
  // The budget counts from the end of the write: a long request at a low baud rate takes its own time.
  const int64_t start = MonotonicMs();
  int64_t collected = 0;
  while (MonotonicMs() - start < timeoutMs && collected < responseCapacity) {
    int64_t waiting = SerialBytesWaiting(portHandle);
    if (waiting <= 0) {
      SerialWaitForInput(portHandle, kEmptyPollWaitMs);
      continue;
    }
    collected += SerialRead(portHandle, response + collected,
                            std::min(waiting, responseCapacity - collected));
    if (expectedLength > 0 && collected >= expectedLength) break;
  }
  return {RtuExchangeStatus::Collected, collected};
}

}  // namespace varnetik
