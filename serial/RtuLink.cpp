#include "serial/RtuLink.h"

#include <algorithm>
#include <array>

#include "modbus/MonotonicClock.h"
#include "modbus/WaitHook.h"

namespace varnetik {

namespace {

constexpr int64_t kLinkQueueSize = 4096;
constexpr int kEmptyPollWaitMs = 1;

}  // namespace

LineSettings RtuLink::Line() const { return {baudRate, parity, dataBits, stopBits, handshake}; }

PortTimeouts RtuLink::Timeouts() const {
  return {readIntervalTimeoutMs, rxTimeoutMs, readTotalTimeoutMultiplierMs, writeTotalTimeoutConstantMs,
          writeTotalTimeoutMultiplierMs};
}

bool RtuLink::RtuOpenPort() {
  // The open closes the port held first, so a failed open leaves the link closed.
  if (!serialPort.Open(portName, Line(), kLinkQueueSize, kLinkQueueSize)) return false;
  serialPort.SetTimeouts(Timeouts());
  RtuFlushRx();
  return true;
}

void RtuLink::RtuClosePort() { serialPort.Close(); }

void RtuLink::RtuFlushRx() {
  if (!IsOpen()) return;
  std::array<uint8_t, kRtuRxFrameSize> scratch;
  for (;;) {
    int64_t waiting = serialPort.BytesWaiting();
    if (waiting <= 0) return;
    // A queue that reports bytes but yields none (a failing device) must not hold the flush forever.
    if (serialPort.Read(scratch.data(), std::min<int64_t>(waiting, kRtuRxFrameSize)) <= 0) return;
  }
}

RtuExchangeResult RtuLink::RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                       uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) {
  if (!IsOpen()) return {RtuExchangeStatus::NoPortOpen, 0};
  RtuFlushRx();
  if (serialPort.Write(request, requestLength) != requestLength) {
    return {RtuExchangeStatus::SendFailed, 0};
  }
  // The budget counts from the end of the write: a long request at a low baud rate takes its own time.
  const int64_t start = MonotonicMs();
  int64_t collected = 0;
  while (MonotonicMs() - start < timeoutMs && collected < responseCapacity) {
    int64_t waiting = serialPort.BytesWaiting();
    if (waiting <= 0) {
      serialPort.WaitForInput(kEmptyPollWaitMs);
      ServeWaitHook();
      continue;
    }
    collected += serialPort.Read(response + collected, std::min(waiting, responseCapacity - collected));
    if (expectedLength > 0 && collected >= expectedLength) break;
  }
  return {RtuExchangeStatus::Collected, collected};
}

}  // namespace varnetik
