// The three serial transactions: build the request, exchange it, judge the answer in a fixed order.
#pragma once

#include <cstdint>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/ResultCode.h"

namespace varnetik {

// How a serial exchange ended: bytes were collected (possibly none), or it never got that far.
enum class RtuExchangeStatus { Collected, NoPortOpen, SendFailed };

struct RtuExchangeResult {
  RtuExchangeStatus status = RtuExchangeStatus::Collected;
  // Bytes stored in the response from offset 0; only meaningful when status is Collected.
  int64_t received = 0;
};

// The serial exchange the transactions stand on: flush, write the request once, then collect until
// expectedLength bytes (if > 0), the capacity or timeoutMs from the end of the write. NoPortOpen: no
// port is open; SendFailed: the write did not take the whole request. The count collected may exceed
// expectedLength when more bytes were already waiting.
class RtuExchanger {
 public:
  virtual ~RtuExchanger() = default;
  virtual RtuExchangeResult RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                        uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) = 0;
};

// What one transaction works with: the request is built in txFrame from offset 0, the answer lands in
// rxFrame from offset 0 (the whole buffer is offered), slaveId addresses the frame.
struct RtuTransactionContext {
  RtuExchanger& exchanger;
  RtuTxFrame& txFrame;
  RtuRxFrame& rxFrame;
  uint8_t slaveId;
  int64_t rxTimeoutMs;
};

// Function code 0x03 or 0x04; on success registers holds exactly quantity values and q is returned.
ResultCode RtuReadRegisters(const RtuTransactionContext& context, uint8_t functionCode, uint16_t start,
                            uint16_t quantity, std::vector<uint16_t>& registers);
ResultCode RtuWriteSingleRegister(const RtuTransactionContext& context, uint16_t address, uint16_t value);
// Sends the first count entries of values; returns count on success.
ResultCode RtuWriteMultipleRegisters(const RtuTransactionContext& context, uint16_t start,
                                     const std::vector<uint16_t>& values, int64_t count);

}  // namespace varnetik
