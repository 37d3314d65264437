#include "modbus/TcpTransactions.h"

#include <algorithm>

#include "modbus/BigEndian.h"

namespace varnetik {

namespace {

// A foreign response is skipped only if its PDU is already there or arrives almost at once.
constexpr int64_t kSkipTimeoutMs = 50;
// A response whose length field cannot be trusted has ended when the line has been quiet this long.
constexpr int64_t kQuietLineMs = 50;
constexpr int kAttempts = 2;
constexpr int64_t kWriteResponsePduLength = 5;

// Where a request PDU is prepared: in txFrame, behind the room for its MBAP header.
uint8_t* RequestPdu(const TcpTransactionContext& context) {
  return context.state.txFrame.data() + kMbapHeaderSize;
}

// Writes the MBAP header in front of the PDU waiting in txFrame; false when no such PDU fits the buffer.
bool CompleteRequestFrame(TcpExchangeState& state, uint16_t transactionId, uint8_t unitId,
                          int64_t pduLength) {
  if (pduLength < 0 || kMbapHeaderSize + pduLength > kTcpTxFrameSize) return false;
  uint8_t* frame = state.txFrame.data();
  PutU16(frame, transactionId);
  PutU16(frame + 2, 0);
  PutU16(frame + 4, static_cast<uint16_t>(pduLength + 1));
  frame[6] = unitId;
  state.txLength = kMbapHeaderSize + pduLength;
  return true;
}

// Reads exactly count bytes; a short count from the transport is taken as the time having run out.
ResultCode ReceiveExact(TcpTransport& transport, uint8_t* destination, int64_t count, int64_t timeoutMs) {
  const ResultCode received = transport.TcpReceiveExact(destination, count, timeoutMs);
  if (received.IsFailure()) return received;
  return received.Count() == count ? received : TcpTimeoutOrShort;
}

// Drops the PDU of a response that is not ours. Whatever does not arrive in time stays in the stream.
void SkipPdu(const TcpTransactionContext& context, int64_t pduLength) {
  TcpExchangeState& state = context.state;
  const ResultCode received =
      ReceiveExact(context.transport, state.rxFrame.data() + kMbapHeaderSize, pduLength, kSkipTimeoutMs);
  state.rxLength = kMbapHeaderSize + (received.IsSuccess() ? pduLength : 0);
}

// Leaves the stream at a frame boundary after a header that cannot be used, so that the next exchange
// reads the header of the next response instead of the middle of this one. A plausible length is
// trusted and the rest of the response read and dropped; otherwise where it ends is unknown, and the
// line is drained until it falls quiet. rxLength stays: nothing of this response is shown.
void DropRestOfResponse(const TcpTransactionContext& context, bool lengthPlausible, int64_t pduLength) {
  TcpExchangeState& state = context.state;
  if (lengthPlausible) {
    ReceiveExact(context.transport, state.rxFrame.data() + kMbapHeaderSize, pduLength, state.rxTimeoutMs);
  } else {
    context.transport.TcpDiscardUntilQuiet(kQuietLineMs, state.rxTimeoutMs);
  }
}

bool ExceptionBitSet(const TcpPduFrame& pdu) { return (pdu[0] & kExceptionBit) != 0; }

// The code of an exception response in the family of base; an unknown exception code means the
// stream is out of step.
ResultCode ExceptionResponse(const TcpPduFrame& pdu, ResultCode base) {
  return IsKnownExceptionCode(pdu[1]) ? ExceptionResult(base, pdu[1]) : TcpBadExceptionCode;
}

ResultCode ExchangeIntoState(const TcpTransactionContext& context, const TcpRequest& request) {
  return TcpExchange(context, request.pduLength, context.state.responsePdu.data(), kTcpPduFrameSize);
}

// Both writes are answered by a 5-byte echo of their function code, address and value or quantity.
ResultCode ExchangeWrite(const TcpTransactionContext& context, const TcpRequest& request,
                         ResultCode exceptionBase, ResultCode unexpectedLength) {
  if (request.refusal) return *request.refusal;
  const ResultCode exchanged = ExchangeIntoState(context, request);
  if (exchanged.IsFailure()) return exchanged;
  const int64_t length = exchanged.Count();

  const TcpPduFrame& pdu = context.state.responsePdu;
  if (length < 2) return unexpectedLength;
  if (ExceptionBitSet(pdu)) return ExceptionResponse(pdu, exceptionBase);
  // A foreign function code reads as a length error: operators and their notes know it by this message.
  if (length != kWriteResponsePduLength || pdu[0] != request.functionCode) return unexpectedLength;
  return ResultCode::Success(request.quantity);
}

}  // namespace

ResultCode TcpExchange(const TcpTransactionContext& context, int64_t pduLength, uint8_t* response,
                       int64_t responseCapacity) {
  TcpTransport& transport = context.transport;
  TcpExchangeState& state = context.state;
  if (!transport.IsConnected()) return TcpNotConnected;

  // Every exchange that finds a connection uses up one id, whether the send works or not.
  state.transactionId = static_cast<uint16_t>(state.transactionId + 1);
  const uint16_t transactionId = state.transactionId;

  if (!CompleteRequestFrame(state, transactionId, context.slaveId, pduLength)) return TcpSendFailed;
  if (transport.TcpSend(state.txFrame.data(), state.txLength) != state.txLength) return TcpSendFailed;

  // The PDU is read into rxFrame behind the header before it is copied out, so it must fit there too.
  const int64_t pduRoom = std::min(responseCapacity, kTcpRxFrameSize - kMbapHeaderSize);
  ResultCode mismatch = TcpTransactionIdMismatch;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const ResultCode header =
        ReceiveExact(transport, state.rxFrame.data(), kMbapHeaderSize, state.rxTimeoutMs);
    if (header.IsFailure()) return header;

    const uint8_t* rx = state.rxFrame.data();
    const uint16_t responseId = GetU16(rx);
    const uint16_t protocolId = GetU16(rx + 2);
    const int64_t length = GetU16(rx + 4);
    const uint8_t unitId = rx[6];

    const bool lengthPlausible = length >= 1 && length <= pduRoom + 1;
    const int64_t pduLengthIn = length - 1;
    if (protocolId != 0 || !lengthPlausible) {
      DropRestOfResponse(context, lengthPlausible, pduLengthIn);
      return protocolId != 0 ? TcpProtocolIdNotZero : TcpBadMbapLength;
    }

    // The transaction id is judged first: a late answer to an earlier request is the likely case.
    if (responseId != transactionId) {
      SkipPdu(context, pduLengthIn);
      mismatch = TcpTransactionIdMismatch;
      continue;
    }
    if (unitId != context.slaveId) {
      SkipPdu(context, pduLengthIn);
      mismatch = TcpUnitIdMismatch;
      continue;
    }

    uint8_t* pduIn = state.rxFrame.data() + kMbapHeaderSize;
    const ResultCode received = ReceiveExact(transport, pduIn, pduLengthIn, state.rxTimeoutMs);
    if (received.IsFailure()) return received;
    state.rxLength = kMbapHeaderSize + pduLengthIn;
    std::copy_n(pduIn, pduLengthIn, response);
    return ResultCode::Success(pduLengthIn);
  }
  return mismatch;
}

TcpRequest TcpPrepareRead(const TcpTransactionContext& context, uint8_t functionCode, uint16_t start,
                          uint16_t quantity) {
  if (quantity == 0 || quantity > kMaxReadQuantity) return {.refusal = ReadBadQuantity};
  const int64_t pduLength = BuildReadPdu(RequestPdu(context), functionCode, start, quantity);
  return {.pduLength = pduLength, .functionCode = functionCode, .quantity = quantity};
}

TcpRequest TcpPrepareWriteSingle(const TcpTransactionContext& context, uint16_t address, uint16_t value) {
  const int64_t pduLength = BuildWriteSinglePdu(RequestPdu(context), address, value);
  return {.pduLength = pduLength, .functionCode = kFcWriteSingle, .quantity = 1};
}

TcpRequest TcpPrepareWriteMultiple(const TcpTransactionContext& context, uint16_t start,
                                   const std::vector<uint16_t>& values, int64_t count) {
  // As on the serial side, a count beyond the values given is refused before anything is built.
  if (count < 1 || count > kMaxWriteQuantity || static_cast<uint64_t>(count) > values.size()) {
    return {.refusal = WriteManyBadQuantity};
  }
  const int64_t pduLength = BuildWriteMultiplePdu(RequestPdu(context), start, values, count);
  return {.pduLength = pduLength, .functionCode = kFcWriteMultiple, .quantity = count};
}

ResultCode TcpReadRegisters(const TcpTransactionContext& context, const TcpRequest& request,
                            std::vector<uint16_t>& registers) {
  if (request.refusal) return *request.refusal;
  registers.assign(static_cast<size_t>(request.quantity), 0);
  const ResultCode exchanged = ExchangeIntoState(context, request);
  if (exchanged.IsFailure()) return exchanged;
  const int64_t length = exchanged.Count();

  // Judged before any byte is looked at: the buffer behind a 0- or 1-byte PDU holds an older answer.
  const TcpPduFrame& pdu = context.state.responsePdu;
  if (length < 2) return ReadShortOrTimeout;
  if (ExceptionBitSet(pdu)) return ExceptionResponse(pdu, ReadException);
  // A foreign function code reads as a length error: operators and their notes know it by this message.
  if (pdu[0] != request.functionCode) return ReadUnexpectedLength;
  if (pdu[1] != 2 * request.quantity) return TcpReadByteCountMismatch;
  if (length != pdu[1] + 2) return ReadShortOrTimeout;

  for (size_t i = 0; i < registers.size(); ++i) {
    registers[i] = GetU16(pdu.data() + 2 + 2 * i);
  }
  return ResultCode::Success(request.quantity);
}

ResultCode TcpWriteSingleRegister(const TcpTransactionContext& context, const TcpRequest& request) {
  return ExchangeWrite(context, request, WriteOneException, TcpWriteOneUnexpectedLength);
}

ResultCode TcpWriteMultipleRegisters(const TcpTransactionContext& context, const TcpRequest& request) {
  return ExchangeWrite(context, request, WriteManyException, TcpWriteManyUnexpectedLength);
}

}  // namespace varnetik
