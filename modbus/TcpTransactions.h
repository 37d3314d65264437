// Modbus TCP: the MBAP exchange with its transaction ids, and the three TCP transactions.
#pragma once

#include <cstdint>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/ResultCode.h"

namespace varnetik {

// The socket underneath. TcpSend hands over the whole frame and returns the count taken (negative on a
// socket error). TcpReceiveExact returns count, TcpTimeoutOrShort (-1010) or TcpConnectionLost (-1013);
// a count of 0 returns 0 at once. TcpDiscardUntilQuiet drops every byte that arrives until none has come
// for quietMs, or until timeoutMs have passed since the call, or the connection fails or is closed.
class TcpTransport {
 public:
  virtual ~TcpTransport() = default;
  virtual bool IsConnected() const = 0;
  virtual int64_t TcpSend(const uint8_t* bytes, int64_t count) = 0;
  virtual int64_t TcpReceiveExact(uint8_t* destination, int64_t count, int64_t timeoutMs) = 0;
  virtual void TcpDiscardUntilQuiet(int64_t quietMs, int64_t timeoutMs) = 0;
};

// The link fields the exchange reads and writes. transactionId is never reset during a run.
struct TcpExchangeState {
  uint16_t transactionId = 0;
  TcpTxFrame txFrame{};   // last request ADU (MBAP header + PDU)
  TcpRxFrame rxFrame{};   // last response ADU as received, source of the RX-TCP dump
  int64_t txLength = 0;
  int64_t rxLength = 0;
  int64_t rxTimeoutMs = 1200;
  // Response PDU handed to the transactions. Owned here rather than shared with the serial link: nothing
  // observable depends on the two links sharing one buffer.
  RtuRxFrame responsePdu{};
};

struct TcpTransactionContext {
  TcpTransport& transport;
  TcpExchangeState& state;
  uint8_t slaveId;
};

// Wraps pdu in the MBAP header, sends it and returns the response PDU length (copied to response from
// offset 0) or a negative code. Skips at most one foreign response (wrong transaction or unit id).
// After a header it cannot use (protocol id not 0, implausible length) it drops the rest of that
// response before returning, so that the next exchange starts at a frame boundary.
ResultCode TcpExchange(const TcpTransactionContext& context, const uint8_t* pdu, int64_t pduLength,
                       uint8_t* response, int64_t responseCapacity);

ResultCode TcpReadRegisters(const TcpTransactionContext& context, uint8_t functionCode, uint16_t start,
                            uint16_t quantity, std::vector<uint16_t>& registers);
ResultCode TcpWriteSingleRegister(const TcpTransactionContext& context, uint16_t address, uint16_t value);
ResultCode TcpWriteMultipleRegisters(const TcpTransactionContext& context, uint16_t start,
                                     const std::vector<uint16_t>& values, int64_t count);

}  // namespace varnetik
