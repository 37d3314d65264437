// Modbus TCP: the MBAP exchange with its transaction ids, and the three TCP transactions in two steps:
// prepare the request PDU in the transmit buffer, then exchange it under a new transaction id and judge
// the response. The caller can run the exchange of a prepared request again.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/ResultCode.h"

namespace varnetik {

// The socket underneath. TcpSend hands over the whole frame and returns the count taken (negative on a
// socket error). TcpReceiveExact succeeds with count, or fails with TcpTimeoutOrShort (-1010) or
// TcpConnectionLost (-1013); a count of 0 succeeds at once. TcpDiscardUntilQuiet drops every byte that
// arrives until none has come for quietMs, or until timeoutMs have passed since the call, or the
// connection fails or is closed.
class TcpTransport {
 public:
  virtual ~TcpTransport() = default;
  virtual bool IsConnected() const = 0;
  virtual int64_t TcpSend(const uint8_t* bytes, int64_t count) = 0;
  virtual ResultCode TcpReceiveExact(uint8_t* destination, int64_t count, int64_t timeoutMs) = 0;
  virtual void TcpDiscardUntilQuiet(int64_t quietMs, int64_t timeoutMs) = 0;
};

// The link fields the exchange reads and writes. transactionId is never reset during a run.
struct TcpExchangeState {
  uint16_t transactionId = 0;
  TcpTxFrame txFrame{};   // last request ADU (MBAP header + PDU); a prepared PDU waits behind the header
  TcpRxFrame rxFrame{};   // last response ADU as received, source of the RX-TCP dump
  int64_t txLength = 0;
  int64_t rxLength = 0;
  int64_t rxTimeoutMs = 1200;
  // Response PDU handed to the transactions. Owned here rather than shared with the serial link: nothing
  // observable depends on the two links sharing one buffer.
  TcpPduFrame responsePdu{};
};

struct TcpTransactionContext {
  TcpTransport& transport;
  TcpExchangeState& state;
  uint8_t slaveId;
};

// Sends the request whose PDU, pduLength bytes, already lies in txFrame behind the MBAP header: writes
// the header with the next transaction id in front of it and succeeds with the response PDU length
// (copied to response from offset 0), or fails. A PDU that does not fit txFrame is not sent
// (TcpSendFailed, its id used up all the same). Skips at most one foreign response (wrong transaction
// or unit id). After a header it cannot use (protocol id not 0, implausible length) it drops the rest
// of that response before returning, so that the next exchange starts at a frame boundary.
ResultCode TcpExchange(const TcpTransactionContext& context, int64_t pduLength, uint8_t* response,
                       int64_t responseCapacity);

// A request PDU prepared in txFrame behind the MBAP header and what its response is judged by. A
// refused request (refusal set, its quantity out of range) was not built and is never sent.
struct TcpRequest {
  std::optional<ResultCode> refusal = std::nullopt;
  int64_t pduLength = 0;
  uint8_t functionCode = 0;
  int64_t quantity = 0;  // registers read or written
};

// Function code 0x03 or 0x04; refused (ReadBadQuantity) unless quantity is 1..125.
TcpRequest TcpPrepareRead(const TcpTransactionContext& context, uint8_t functionCode, uint16_t start,
                          uint16_t quantity);
TcpRequest TcpPrepareWriteSingle(const TcpTransactionContext& context, uint16_t address, uint16_t value);
// The first count entries of values; refused (WriteManyBadQuantity) unless count is 1..123 and values
// holds that many.
TcpRequest TcpPrepareWriteMultiple(const TcpTransactionContext& context, uint16_t start,
                                   const std::vector<uint16_t>& values, int64_t count);

// Each exchanges the request prepared by its Prepare function above and judges the response; every run
// uses a new transaction id, and a prepared request may be run again. A refused request returns its
// refusal and uses none.
// Success: registers holds exactly quantity values and quantity is returned; a failure after the
// refusal test leaves registers as quantity zeros.
ResultCode TcpReadRegisters(const TcpTransactionContext& context, const TcpRequest& request,
                            std::vector<uint16_t>& registers);
ResultCode TcpWriteSingleRegister(const TcpTransactionContext& context, const TcpRequest& request);
// Returns the count written on success.
ResultCode TcpWriteMultipleRegisters(const TcpTransactionContext& context, const TcpRequest& request);

}  // namespace varnetik
