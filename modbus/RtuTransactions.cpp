#include "modbus/RtuTransactions.h"

#include <algorithm>

namespace varnetik {

namespace {

constexpr int64_t kExceptionFrameLength = 5;
constexpr int64_t kWriteResponseLength = 8;

// Sends the request already built in txFrame and returns the count of response bytes in rxFrame. A
// failed exchange counts as an answer that never came, so it is judged as too short. The exchange never
// reports more than the capacity it was offered; the clamp keeps every later check inside rxFrame even
// if one did.
int64_t Exchange(const RtuTransactionContext& context, int64_t requestLength, int64_t expectedLength) {
  const RtuExchangeResult result =
      context.exchanger.RtuExchange(context.txFrame.data(), requestLength, expectedLength,
                                    context.rxFrame.data(), kRtuRxFrameSize, context.rxTimeoutMs);
  if (result.status != RtuExchangeStatus::Collected) return 0;
  return std::min(result.received, kRtuRxFrameSize);
}

bool ExceptionBitSet(const RtuRxFrame& frame) { return (frame[1] & kExceptionBit) != 0; }

}  // namespace

ResultCode RtuReadRegisters(const RtuTransactionContext& context, uint8_t functionCode, uint16_t start,
                            uint16_t quantity, std::vector<uint16_t>& registers) {
  if (quantity == 0 || quantity > kMaxReadQuantity) return ReadBadQuantity;

  const int64_t requestLength =
      BuildRtuReadRequest(context.txFrame.data(), context.slaveId, functionCode, start, quantity);
  const int64_t expected = ExpectedReadResponseLength(quantity);
  const int64_t received = Exchange(context, requestLength, expected);
  const RtuRxFrame& rx = context.rxFrame;

  if (received < kExceptionFrameLength) return ReadShortOrTimeout;
  // An exception answer is recognised only when exactly its 5 bytes came back.
  if (received == kExceptionFrameLength && ExceptionBitSet(rx)) {
    if (!RtuCrcMatches(rx.data(), received)) return ReadCrcError;
    if (!IsKnownExceptionCode(rx[2])) return RtuBadExceptionCode;
    return ReadException - rx[2];
  }
  if (received != expected) return ReadShortOrTimeout;
  if (!RtuCrcMatches(rx.data(), received)) return ReadCrcError;
  if (rx[2] != 2 * quantity) return ReadByteCountMismatch;

  registers.assign(quantity, 0);
  for (size_t i = 0; i < quantity; ++i) {
    registers[i] = static_cast<uint16_t>((rx[3 + 2 * i] << 8) | rx[4 + 2 * i]);
  }
  return quantity;
}

ResultCode RtuWriteSingleRegister(const RtuTransactionContext& context, uint16_t address, uint16_t value) {
  const int64_t requestLength =
      BuildRtuWriteSingleRequest(context.txFrame.data(), context.slaveId, address, value);
  const int64_t received = Exchange(context, requestLength, kWriteResponseLength);
  const RtuRxFrame& rx = context.rxFrame;

  if (received < kExceptionFrameLength) return WriteOneShortOrTimeout;
  if (!RtuCrcMatches(rx.data(), received)) return WriteOneCrcError;
  // Every exception code byte is passed on here, named or not.
  if (ExceptionBitSet(rx)) return WriteOneException - rx[2];
  if (received != kWriteResponseLength) return WriteOneUnexpectedLength;
  return 1;
}

ResultCode RtuWriteMultipleRegisters(const RtuTransactionContext& context, uint16_t start,
                                     const std::vector<uint16_t>& values, int64_t count) {
  // A count beyond the values given is refused like any other bad count rather than sent with made-up
  // register values.
  if (count < 1 || count > kMaxWriteQuantity || static_cast<uint64_t>(count) > values.size()) {
    return WriteManyBadQuantity;
  }

  const int64_t requestLength =
      BuildRtuWriteMultipleRequest(context.txFrame.data(), context.slaveId, start, values, count);
  const int64_t received = Exchange(context, requestLength, kWriteResponseLength);
  const RtuRxFrame& rx = context.rxFrame;

  if (received < kExceptionFrameLength) return WriteManyShortOrTimeout;
  if (!RtuCrcMatches(rx.data(), received)) return WriteManyCrcError;
  if (ExceptionBitSet(rx)) {
    if (!IsKnownExceptionCode(rx[2])) return RtuBadExceptionCode;
    return WriteManyException - rx[2];
  }
  if (received != kWriteResponseLength) return WriteManyUnexpectedLength;
  return count;
}

}  // namespace varnetik
