// TcpLink as the link-neutral operations use it: one prepared request at a time, its exchange under a
// new transaction id each run, and the reconnect that brings a TCP stream back in step.
#include <chrono>
#include <thread>

#include "tcp/TcpLink.h"

namespace varnetik {

const LinkBackend<TcpTransactionContext, TcpRequest> kTcpBackend{
    TcpPrepareRead, TcpPrepareWriteSingle, TcpPrepareWriteMultiple,
    TcpReadRegisters, TcpWriteSingleRegister, TcpWriteMultipleRegisters,
    "TX-TCP", "RX-TCP", false};

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
  constexpr auto kReconnectPause = std::chrono::milliseconds(50);
  TcpDisconnect();
  std::this_thread::sleep_for(kReconnectPause);
  return TcpConnect() == LinkOpenResult::Opened;
}

}  // namespace varnetik
