#include "modbus/RtuTransactions.h"

#include <algorithm>

#include "modbus/BigEndian.h"

namespace varnetik {

namespace {

constexpr int64_t kExceptionFrameLength = 5;
constexpr int64_t kWriteResponseLength = 8;

// Sends the request already built in txFrame and returns the count of response bytes in rxFrame. A
// failed exchange counts as an answer that never came, so it is judged as too short. The exchange never
// reports more than the capacity it was offered; the clamp keeps every later check inside rxFrame even
// if one did.
int64_t Exchange(const RtuTransactionContext& context, const RtuRequest& request) {
  const RtuExchangeResult result =
      context.exchanger.RtuExchange(context.txFrame.data(), request.length, request.expectedLength,
                                    context.rxFrame.data(), kRtuRxFrameSize, context.rxTimeoutMs);
  if (result.status != RtuExchangeStatus::Collected) return 0;
  return std::min(result.received, kRtuRxFrameSize);
}

bool ExceptionBitSet(const RtuRxFrame& frame) { return (frame[1] & kExceptionBit) != 0; }

}  // namespace

RtuRequest RtuPrepareRead(const RtuTransactionContext& context, uint8_t functionCode, uint16_t start,
                          uint16_t quantity) {
  if (quantity == 0 || quantity > kMaxReadQuantity) return {.refusal = ReadBadQuantity};
  const int64_t length =
      BuildRtuReadRequest(context.txFrame.data(), context.slaveId, functionCode, start, quantity);
  return {.length = length, .expectedLength = ExpectedReadResponseLength(quantity), .quantity = quantity};
}

RtuRequest RtuPrepareWriteSingle(const RtuTransactionContext& context, uint16_t address, uint16_t value) {
  const int64_t length = BuildRtuWriteSingleRequest(context.txFrame.data(), context.slaveId, address, value);
  return {.length = length, .expectedLength = kWriteResponseLength, .quantity = 1};
}

RtuRequest RtuPrepareWriteMultiple(const RtuTransactionContext& context, uint16_t start,
                                   const std::vector<uint16_t>& values, int64_t count) {
  // A count beyond the values given is refused like any other bad count rather than sent with made-up
  // register values.
  if (count < 1 || count > kMaxWriteQuantity || static_cast<uint64_t>(count) > values.size()) {
    return {.refusal = WriteManyBadQuantity};
  }
  const int64_t length =
      BuildRtuWriteMultipleRequest(context.txFrame.data(), context.slaveId, start, values, count);
  return {.length = length, .expectedLength = kWriteResponseLength, .quantity = count};
}

ResultCode RtuReadRegisters(const RtuTransactionContext& context, const RtuRequest& request,
                            std::vector<uint16_t>& registers) {
  if (request.refusal) return *request.refusal;

  const int64_t expected = request.expectedLength;
  const int64_t received = Exchange(context, request);
  const RtuRxFrame& rx = context.rxFrame;

  if (received < kExceptionFrameLength) return ReadShortOrTimeout;
  // An exception answer is recognised only when exactly its 5 bytes came back.
  if (received == kExceptionFrameLength && ExceptionBitSet(rx)) {
    if (!RtuCrcMatches(rx.data(), received)) return ReadCrcError;
    if (!IsKnownExceptionCode(rx[2])) return RtuBadExceptionCode;
    return ExceptionResult(ReadException, rx[2]);
  }
  if (received != expected) return ReadShortOrTimeout;
  // The address byte is not compared: gateways and converters that answer under their own address work.
  if (!RtuCrcMatches(rx.data(), received)) return ReadCrcError;
  if (rx[2] != 2 * request.quantity) return ReadByteCountMismatch;

  registers.assign(static_cast<size_t>(request.quantity), 0);
  for (size_t i = 0; i < registers.size(); ++i) {
    registers[i] = GetU16(rx.data() + 3 + 2 * i);
  }
  return ResultCode::Success(request.quantity);
}

ResultCode RtuWriteSingleRegister(const RtuTransactionContext& context, const RtuRequest& request) {
  if (request.refusal) return *request.refusal;

  const int64_t received = Exchange(context, request);
  const RtuRxFrame& rx = context.rxFrame;

  if (received < kExceptionFrameLength) return WriteOneShortOrTimeout;
  if (!RtuCrcMatches(rx.data(), received)) return WriteOneCrcError;
  // Every exception code byte is passed on here, named or not.
  if (ExceptionBitSet(rx)) return ExceptionResult(WriteOneException, rx[2]);
  if (received != kWriteResponseLength) return WriteOneUnexpectedLength;
  return ResultCode::Success(1);
}

ResultCode RtuWriteMultipleRegisters(const RtuTransactionContext& context, const RtuRequest& request) {
  if (request.refusal) return *request.refusal;

  const int64_t received = Exchange(context, request);
  const RtuRxFrame& rx = context.rxFrame;

  if (received < kExceptionFrameLength) return WriteManyShortOrTimeout;
  if (!RtuCrcMatches(rx.data(), received)) return WriteManyCrcError;
  if (ExceptionBitSet(rx)) {
    if (!IsKnownExceptionCode(rx[2])) return RtuBadExceptionCode;
    return ExceptionResult(WriteManyException, rx[2]);
  }
  if (received != kWriteResponseLength) return WriteManyUnexpectedLength;
  return ResultCode::Success(request.quantity);
}

}  // namespace varnetik
