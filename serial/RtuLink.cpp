#include "serial/RtuLink.h"

#include <algorithm>
#include <array>
#include <climits>

#include "modbus/MonotonicClock.h"
#include "modbus/WaitHook.h"

namespace varnetik {

namespace {

constexpr int64_t kLinkQueueSize = 4096;

}  // namespace

LineSettings RtuLink::Line() const { return {baudRate, parity, dataBits, stopBits, handshake}; }

PortTimeouts RtuLink::Timeouts() const {
  return {readIntervalTimeoutMs, rxTimeoutMs, readTotalTimeoutMultiplierMs, writeTotalTimeoutConstantMs,
          writeTotalTimeoutMultiplierMs};
}

PortOpenResult RtuLink::RtuOpenPort() {
  // The open closes the port held first, so a failed open leaves the link closed.
  PortOpenResult result =
      serialPort.Open(portName, Line(), kLinkQueueSize, kLinkQueueSize, PortClaimRules{.paths = systemPaths});
  if (!result) return result;
  serialPort.SetTimeouts(Timeouts());
  RtuFlushRx();
  if (uncheckedUsersTold_) result.othersUnchecked = false;
  uncheckedUsersTold_ = uncheckedUsersTold_ || result.othersUnchecked;
  return result;
}

void RtuLink::RtuClosePort() { serialPort.Close(); }

void RtuLink::RtuFlushRx() {
  if (!IsOpen()) return;
  std::array<uint8_t, kRtuRxFrameSize> scratch;
  // A read takes only what is already there, so an empty queue costs one call and ends the flush, and a
  // failing device that yields nothing cannot hold it.
  while (serialPort.Read(scratch.data(), kRtuRxFrameSize) > 0) {
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
  while (collected < responseCapacity) {
    const int64_t left = timeoutMs - (MonotonicMs() - start);
    if (left <= 0) break;
    // Just after the write nothing can be there yet, so the wait comes before the read; it returns as
    // soon as bytes arrive, and a pause between bytes only sends the loop round again. With a wait hook
    // set it waits in slices and serves the hook after each.
    serialPort.WaitForInput(static_cast<int>(std::min<int64_t>(WaitSliceMs(left), INT_MAX)));
    collected += serialPort.Read(response + collected, responseCapacity - collected);
    ServeWaitHook();
    if (expectedLength > 0 && collected >= expectedLength) break;
  }
  return {RtuExchangeStatus::Collected, collected};
}

}  // namespace varnetik
