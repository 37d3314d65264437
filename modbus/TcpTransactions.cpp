#include "modbus/TcpTransactions.h"

#include <algorithm>
#include <array>

namespace varnetik {

namespace {

// A foreign response is skipped only if its PDU is already there or arrives almost at once.
constexpr int64_t kSkipTimeoutMs = 50;
// A response whose length field cannot be trusted has ended when the line has been quiet this long.
constexpr int64_t kQuietLineMs = 50;
constexpr int kAttempts = 2;
constexpr int64_t kWriteResponsePduLength = 5;

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value & 0xFF);
}

// Builds the MBAP header and the PDU in txFrame; false when the PDU would not fit the buffer.
bool BuildRequestFrame(TcpExchangeState& state, uint16_t transactionId, uint8_t unitId, const uint8_t* pdu,
                       int64_t pduLength) {
  if (pduLength < 0 || kMbapHeaderSize + pduLength > kTcpTxFrameSize) return false;
  uint8_t* frame = state.txFrame.data();
  PutU16(frame, transactionId);
  PutU16(frame + 2, 0);
  PutU16(frame + 4, static_cast<uint16_t>(pduLength + 1));
  frame[6] = unitId;
  std::copy_n(pdu, pduLength, frame + kMbapHeaderSize);
  state.txLength = kMbapHeaderSize + pduLength;
  return true;
}

// Reads exactly count bytes; a short count from the transport is taken as the time having run out.
int64_t ReceiveExact(TcpTransport& transport, uint8_t* destination, int64_t count, int64_t timeoutMs) {
  const int64_t received = transport.TcpReceiveExact(destination, count, timeoutMs);
  if (received < 0) return received;
  return received == count ? count : TcpTimeoutOrShort;
}

// Drops the PDU of a response that is not ours. Whatever does not arrive in time stays in the stream.
void SkipPdu(const TcpTransactionContext& context, int64_t pduLength) {
  TcpExchangeState& state = context.state;
  const int64_t received =
      ReceiveExact(context.transport, state.rxFrame.data() + kMbapHeaderSize, pduLength, kSkipTimeoutMs);
  state.rxLength = kMbapHeaderSize + (received == pduLength ? pduLength : 0);
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

bool ExceptionBitSet(const RtuRxFrame& pdu) { return (pdu[0] & kExceptionBit) != 0; }

ResultCode ExchangeIntoState(const TcpTransactionContext& context, const uint8_t* pdu, int64_t pduLength) {
  return TcpExchange(context, pdu, pduLength, context.state.responsePdu.data(), kRtuRxFrameSize);
}

}  // namespace

ResultCode TcpExchange(const TcpTransactionContext& context, const uint8_t* pdu, int64_t pduLength,
                       uint8_t* response, int64_t responseCapacity) {
  TcpTransport& transport = context.transport;
  TcpExchangeState& state = context.state;
  if (!transport.IsConnected()) return TcpNotConnected;

  // Every exchange that finds a connection uses up one id, whether the send works or not.
  state.transactionId = static_cast<uint16_t>(state.transactionId + 1);
  const uint16_t transactionId = state.transactionId;

  if (!BuildRequestFrame(state, transactionId, context.slaveId, pdu, pduLength)) return TcpSendFailed;
  if (transport.TcpSend(state.txFrame.data(), state.txLength) != state.txLength) return TcpSendFailed;

  // The PDU is read into rxFrame behind the header before it is copied out, so it must fit there too.
  const int64_t pduRoom = std::min(responseCapacity, kTcpRxFrameSize - kMbapHeaderSize);
  ResultCode mismatch = TcpTransactionIdMismatch;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int64_t header = ReceiveExact(transport, state.rxFrame.data(), kMbapHeaderSize, state.rxTimeoutMs);
    if (header < 0) return header;

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
    const int64_t received = ReceiveExact(transport, pduIn, pduLengthIn, state.rxTimeoutMs);
    if (received < 0) return received;
    state.rxLength = kMbapHeaderSize + pduLengthIn;
    std::copy_n(pduIn, pduLengthIn, response);
    return pduLengthIn;
  }
  return mismatch;
}

ResultCode TcpReadRegisters(const TcpTransactionContext& context, uint8_t functionCode, uint16_t start,
                            uint16_t quantity, std::vector<uint16_t>& registers) {
  if (quantity == 0 || quantity > kMaxReadQuantity) return ReadBadQuantity;
  registers.assign(quantity, 0);

  std::array<uint8_t, 5> request{};
  const int64_t requestLength = BuildReadPdu(request.data(), functionCode, start, quantity);
  const ResultCode length = ExchangeIntoState(context, request.data(), requestLength);
  if (length < 0) return length;

  // Judged before any byte is looked at: the buffer behind a 0- or 1-byte PDU holds an older answer.
  const RtuRxFrame& pdu = context.state.responsePdu;
  if (length < 2) return ReadShortOrTimeout;
  if (ExceptionBitSet(pdu)) {
    return IsKnownExceptionCode(pdu[1]) ? ReadException - pdu[1] : TcpBadExceptionCode;
  }
  if (pdu[0] != functionCode) return ReadUnexpectedLength;
  if (pdu[1] != 2 * quantity) return TcpReadByteCountMismatch;
  if (length != pdu[1] + 2) return ReadShortOrTimeout;

  for (size_t i = 0; i < quantity; ++i) {
    registers[i] = static_cast<uint16_t>((pdu[2 + 2 * i] << 8) | pdu[3 + 2 * i]);
  }
  return quantity;
}

ResultCode TcpWriteSingleRegister(const TcpTransactionContext& context, uint16_t address, uint16_t value) {
  std::array<uint8_t, 5> request{};
  const int64_t requestLength = BuildWriteSinglePdu(request.data(), address, value);
  const ResultCode length = ExchangeIntoState(context, request.data(), requestLength);
  if (length < 0) return length;

  const RtuRxFrame& pdu = context.state.responsePdu;
  if (length < 2) return TcpWriteOneUnexpectedLength;
  if (ExceptionBitSet(pdu)) {
    return IsKnownExceptionCode(pdu[1]) ? WriteOneException - pdu[1] : TcpBadExceptionCode;
  }
  if (length != kWriteResponsePduLength || pdu[0] != kFcWriteSingle) return TcpWriteOneUnexpectedLength;
  return 1;
}

ResultCode TcpWriteMultipleRegisters(const TcpTransactionContext& context, uint16_t start,
                                     const std::vector<uint16_t>& values, int64_t count) {
  // As on the serial side, a count beyond the values given is refused before anything is sent.
  if (count < 1 || count > kMaxWriteQuantity || static_cast<uint64_t>(count) > values.size()) {
    return WriteManyBadQuantity;
  }

  std::array<uint8_t, 6 + 2 * kMaxWriteQuantity> request{};
  const int64_t requestLength = BuildWriteMultiplePdu(request.data(), start, values, count);
  const ResultCode length = ExchangeIntoState(context, request.data(), requestLength);
  if (length < 0) return length;

  const RtuRxFrame& pdu = context.state.responsePdu;
  if (length < 2) return TcpWriteManyUnexpectedLength;
  if (ExceptionBitSet(pdu)) {
    return IsKnownExceptionCode(pdu[1]) ? WriteManyException - pdu[1] : TcpBadExceptionCode;
  }
  if (length != kWriteResponsePduLength || pdu[0] != kFcWriteMultiple) return TcpWriteManyUnexpectedLength;
  return count;
}

}  // namespace varnetik
