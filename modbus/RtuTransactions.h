// The three serial transactions in two steps: prepare the request in the transmit buffer, then exchange
// exactly those bytes and judge the answer in a fixed order. The caller can show the prepared bytes in
// between and send them again.
#pragma once

#include <cstdint>
#include <optional>
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

// A request prepared at the start of txFrame and what its answer is judged by. A refused request
// (refusal set, its quantity out of range) was not built and is never sent.
struct RtuRequest {
  std::optional<ResultCode> refusal = std::nullopt;
  int64_t length = 0;          // bytes of txFrame that make the request
  int64_t expectedLength = 0;  // the answer length that ends the collection early
  int64_t quantity = 0;        // registers read or written
};

// Function code 0x03 or 0x04; refused (ReadBadQuantity) unless quantity is 1..125.
RtuRequest RtuPrepareRead(const RtuTransactionContext& context, uint8_t functionCode, uint16_t start,
                          uint16_t quantity);
RtuRequest RtuPrepareWriteSingle(const RtuTransactionContext& context, uint16_t address, uint16_t value);
// The first count entries of values; refused (WriteManyBadQuantity) unless count is 1..123 and values
// holds that many.
RtuRequest RtuPrepareWriteMultiple(const RtuTransactionContext& context, uint16_t start,
                                   const std::vector<uint16_t>& values, int64_t count);

// Each sends the request prepared by its Prepare function above, as it lies in txFrame, and judges the
// answer; a prepared request may be exchanged again. A refused request returns its refusal.
// On success registers holds exactly quantity values and quantity is returned.
ResultCode RtuReadRegisters(const RtuTransactionContext& context, const RtuRequest& request,
                            std::vector<uint16_t>& registers);
ResultCode RtuWriteSingleRegister(const RtuTransactionContext& context, const RtuRequest& request);
// Returns the count written on success.
ResultCode RtuWriteMultipleRegisters(const RtuTransactionContext& context, const RtuRequest& request);

}  // namespace varnetik
