// TcpLink as the link-neutral operations use it: one prepared request at a time, its exchange under a
// new transaction id each run, and the reconnect that brings a TCP stream back in step.
#include <chrono>
#include <thread>

#include "tcp/TcpLink.h"

namespace varnetik {
namespace {

constexpr auto kReconnectPause = std::chrono::milliseconds(50);

}  // namespace

void TcpLink::PrepareRead(uint8_t slaveId, uint8_t functionCode, uint16_t start, uint16_t quantity) {
  preparedFunction_ = ModbusFunction::Read;
  preparedSlaveId_ = slaveId;
  prepared_ = TcpPrepareRead(TransactionContext(slaveId), functionCode, start, quantity);
}

void TcpLink::PrepareWriteOne(uint8_t slaveId, uint16_t address, uint16_t value) {
  preparedFunction_ = ModbusFunction::WriteOne;
  preparedSlaveId_ = slaveId;
  prepared_ = TcpPrepareWriteSingle(TransactionContext(slaveId), address, value);
}

void TcpLink::PrepareWriteMany(uint8_t slaveId, uint16_t start, const std::vector<uint16_t>& values,
                               int64_t count) {
  preparedFunction_ = ModbusFunction::WriteMany;
  preparedSlaveId_ = slaveId;
  prepared_ = TcpPrepareWriteMultiple(TransactionContext(slaveId), start, values, count);
}

ResultCode TcpLink::Exchange(std::vector<uint16_t>& registers) {
  const TcpTransactionContext context = TransactionContext(preparedSlaveId_);
  switch (preparedFunction_) {
    case ModbusFunction::Read: return TcpReadRegisters(context, prepared_, registers);
    case ModbusFunction::WriteOne: return TcpWriteSingleRegister(context, prepared_);
    case ModbusFunction::WriteMany: return TcpWriteMultipleRegisters(context, prepared_);
  }
  return prepared_.refusal;
}

// The request of the last run: its header carries that run's transaction id.
std::span<const uint8_t> TcpLink::SentRequest() const {
  return {txFrame.data(), static_cast<size_t>(txLength)};
}

std::span<const uint8_t> TcpLink::ReceivedAnswer() const {
  return {rxFrame.data(), static_cast<size_t>(rxLength)};
}

// Answers that show the stream out of step with the server, in any of the three functions. A protocol
// id or MBAP length the link cannot use is reported at once: the exchange has already dropped the rest
// of that answer.
bool TcpLink::OutOfStep(ModbusFunction, ResultCode rc) const {
  return rc == TcpTransactionIdMismatch || rc == TcpBadExceptionCode || rc == TcpUnitIdMismatch ||
         rc == TcpTimeoutOrShort || rc == TcpConnectionLost;
}

// A new connection to the host and port now in the settings. When it fails the link stays closed and
// the first result stands.
bool TcpLink::Resynchronise() {
  TcpDisconnect();
  std::this_thread::sleep_for(kReconnectPause);
  return TcpConnect() == LinkOpenResult::Opened;
}

}  // namespace varnetik
