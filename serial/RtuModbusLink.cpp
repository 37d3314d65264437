// RtuLink as the link-neutral operations use it: one prepared request at a time, its exchange, and the
// one way a serial stream is brought back in step.
#include <chrono>
#include <thread>

#include "serial/RtuLink.h"

namespace varnetik {

const LinkBackend<RtuTransactionContext, RtuRequest> kRtuBackend{
    RtuPrepareRead, RtuPrepareWriteSingle, RtuPrepareWriteMultiple,
    RtuReadRegisters, RtuWriteSingleRegister, RtuWriteMultipleRegisters,
    "TX", "RX", true};

LinkOpenResult RtuLink::Open() {
  lastOpen_ = RtuOpenPort();
  return lastOpen_ ? LinkOpenResult::Opened : LinkOpenResult::Failed;
}

std::span<const uint8_t> RtuLink::SentRequest() const {
  return {txFrame.data(), static_cast<size_t>(Prepared().length)};
}

// After a success the answer in rxFrame has exactly the expected length.
std::span<const uint8_t> RtuLink::ReceivedAnswer() const {
  return {rxFrame.data(), static_cast<size_t>(Prepared().expectedLength)};
}

// Only write many is resent: an exception code outside the known set there means the byte stream is out
// of step. A read reports it at once, and a write-one transaction never returns it.
bool RtuLink::OutOfStep(ModbusFunction function, ResultCode rc) const {
  return function == ModbusFunction::WriteMany && rc == RtuBadExceptionCode;
}

// Drops what waits and lets the line settle; the same request then goes once more.
bool RtuLink::Resynchronise() {
  constexpr auto kSettle = std::chrono::milliseconds(5);
  RtuFlushRx();
  std::this_thread::sleep_for(kSettle);
  return true;
}

}  // namespace varnetik
