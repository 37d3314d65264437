// RtuLink as the link-neutral operations use it: one prepared request at a time, its exchange, and the
// one way a serial stream is brought back in step.
#include <chrono>
#include <thread>

#include "serial/RtuLink.h"

namespace varnetik {
namespace {

constexpr auto kResyncPause = std::chrono::milliseconds(5);

}  // namespace

LinkOpenResult RtuLink::Open() { return RtuOpenPort() ? LinkOpenResult::Opened : LinkOpenResult::Failed; }

void RtuLink::PrepareRead(uint8_t slaveId, uint8_t functionCode, uint16_t start, uint16_t quantity) {
  preparedFunction_ = ModbusFunction::Read;
  preparedSlaveId_ = slaveId;
  prepared_ = RtuPrepareRead(TransactionContext(slaveId), functionCode, start, quantity);
}

void RtuLink::PrepareWriteOne(uint8_t slaveId, uint16_t address, uint16_t value) {
  preparedFunction_ = ModbusFunction::WriteOne;
  preparedSlaveId_ = slaveId;
  prepared_ = RtuPrepareWriteSingle(TransactionContext(slaveId), address, value);
}

void RtuLink::PrepareWriteMany(uint8_t slaveId, uint16_t start, const std::vector<uint16_t>& values,
                               int64_t count) {
  preparedFunction_ = ModbusFunction::WriteMany;
  preparedSlaveId_ = slaveId;
  prepared_ = RtuPrepareWriteMultiple(TransactionContext(slaveId), start, values, count);
}

ResultCode RtuLink::Exchange(std::vector<uint16_t>& registers) {
  const RtuTransactionContext context = TransactionContext(preparedSlaveId_);
  switch (preparedFunction_) {
    case ModbusFunction::Read: return RtuReadRegisters(context, prepared_, registers);
    case ModbusFunction::WriteOne: return RtuWriteSingleRegister(context, prepared_);
    case ModbusFunction::WriteMany: return RtuWriteMultipleRegisters(context, prepared_);
  }
  return prepared_.refusal;
}

std::span<const uint8_t> RtuLink::SentRequest() const {
  return {txFrame.data(), static_cast<size_t>(prepared_.length)};
}

// After a success the answer in rxFrame has exactly the expected length.
std::span<const uint8_t> RtuLink::ReceivedAnswer() const {
  return {rxFrame.data(), static_cast<size_t>(prepared_.expectedLength)};
}

// Only write many is resent: an exception code outside the known set there means the byte stream is out
// of step. A read reports it at once, and a write-one transaction never returns it.
bool RtuLink::OutOfStep(ModbusFunction function, ResultCode rc) const {
  return function == ModbusFunction::WriteMany && rc == RtuBadExceptionCode;
}

// Drops what waits and lets the line settle; the same request then goes once more.
bool RtuLink::Resynchronise() {
  RtuFlushRx();
  std::this_thread::sleep_for(kResyncPause);
  return true;
}

}  // namespace varnetik
