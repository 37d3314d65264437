// TcpExchange and the three TCP transactions (prepared first, then exchanged, the way the operations run
// them) reading whatever byte stream a server might send, cut into arbitrary pieces, with time-outs and
// broken connections in between.
//
// Input: selector, quantity, slave id, start address (2 bytes), initial transaction id (2 bytes), the
// number of cuts (mod 9), two bytes per cut (distance from the previous cut, kind: piece boundary, time
// running out, connection lost), then the stream. Selector bits 0-2 (mod 5) pick read FC03, read FC04,
// write one, write many or a bare TcpExchange (capacity from the quantity byte, PDU length from the start
// address); bit 3 drops the connection; bit 4 makes the send fail, bit 5 how (short or error); bit 6 hands
// write-many one value fewer than its count.
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "modbus/Frames.h"
#include "modbus/TcpTransactions.h"

namespace varnetik::fuzz {
namespace {

enum class Transaction { ReadHolding, ReadInput, WriteOne, WriteMany, Exchange };
enum class Cut { Boundary, Pause, Break };

constexpr int64_t kRxTimeoutMs = 1200;
constexpr int64_t kSkipTimeoutMs = 50;
constexpr int64_t kQuietLineMs = 50;
constexpr int64_t kMaxPduLength = kTcpTxFrameSize - kMbapHeaderSize;

struct Piece {
  Cut end = Cut::Boundary;  // what follows the bytes of this piece
  std::vector<uint8_t> bytes;
};

struct Case {
  Transaction transaction;
  bool connected;
  bool sendFails;
  bool sendErrors;
  bool valuesShort;
  uint8_t quantity;
  uint8_t slaveId;
  uint16_t start;
  uint16_t transactionId;
  std::vector<Piece> pieces;
};

std::vector<Piece> CutStream(const std::vector<uint8_t>& stream,
                             const std::vector<std::pair<size_t, Cut>>& cuts) {
  std::vector<Piece> pieces;
  size_t from = 0;
  for (const auto& [at, kind] : cuts) {
    const size_t to = std::min(at, stream.size());
    pieces.push_back({kind, std::vector<uint8_t>(stream.begin() + static_cast<ptrdiff_t>(from),
                                                 stream.begin() + static_cast<ptrdiff_t>(to))});
    from = to;
  }
  pieces.push_back(
      {Cut::Boundary, std::vector<uint8_t>(stream.begin() + static_cast<ptrdiff_t>(from), stream.end())});
  return pieces;
}

Case ReadCase(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t selector = input.TakeByte();
  Case c{};
  c.transaction = static_cast<Transaction>((selector & 0x07) % 5);
  c.connected = (selector & 0x08) == 0;
  c.sendFails = (selector & 0x10) != 0;
  c.sendErrors = (selector & 0x20) != 0;
  c.valuesShort = (selector & 0x40) != 0;
  c.quantity = input.TakeByte();
  c.slaveId = input.TakeByte();
  c.start = input.TakeU16();
  c.transactionId = input.TakeU16();
  const int cutCount = input.TakeByte() % 9;
  std::vector<std::pair<size_t, Cut>> cuts;
  size_t at = 0;
  for (int i = 0; i < cutCount; ++i) {
    at += input.TakeByte();
    cuts.emplace_back(at, static_cast<Cut>(input.TakeByte() % 3));
  }
  c.pieces = CutStream(input.TakeRest(), cuts);
  return c;
}

// Delivers the pieces in order; a receive may take part of a piece or span several, and stops with the
// time running out or the connection lost where a cut says so. It checks that every send and receive
// stays inside the link's own frame buffers, and marks as current exactly the bytes received.
class FuzzTcpTransport : public TcpTransport {
 public:
  FuzzTcpTransport(const Case& c, const TcpExchangeState& state)
      : case_(c), state_(state), stream_(c.pieces.begin(), c.pieces.end()) {}

  int sends = 0;
  int receives = 0;
  int discards = 0;

  // Remembers the request PDU as prepared behind the header, which the exchange must send unchanged.
  void Prepared(int64_t pduLength) {
    const uint8_t* pdu = state_.txFrame.data() + kMbapHeaderSize;
    prepared_.assign(pdu, pdu + std::clamp<int64_t>(pduLength, 0, kMaxPduLength));
  }

  bool IsConnected() const override { return case_.connected; }

  int64_t TcpSend(const uint8_t* bytes, int64_t count) override {
    ++sends;
    FUZZ_CHECK(sends == 1);
    FUZZ_CHECK(bytes == state_.txFrame.data());
    FUZZ_CHECK(count >= kMbapHeaderSize && count <= kTcpTxFrameSize);
    FUZZ_CHECK(std::equal(bytes + kMbapHeaderSize, bytes + count, prepared_.begin(), prepared_.end()));
    if (!case_.sendFails) return count;
    return case_.sendErrors ? -1 : count - 1;
  }

  ResultCode TcpReceiveExact(uint8_t* destination, int64_t count, int64_t timeoutMs) override {
    ++receives;
    FUZZ_CHECK(receives <= 4);  // a header and a PDU for each of the two attempts
    FUZZ_CHECK(timeoutMs == kRxTimeoutMs || timeoutMs == kSkipTimeoutMs);
    const uint8_t* frame = state_.rxFrame.data();
    FUZZ_CHECK(count >= 0 && destination >= frame && destination + count <= frame + kTcpRxFrameSize);
    int64_t received = 0;
    while (received < count) {
      if (stream_.empty()) return TcpTimeoutOrShort;  // the stream has run dry: silence
      Piece& piece = stream_.front();
      if (piece.bytes.empty()) {  // only a receive that still waits for bytes runs into a cut
        const Cut end = piece.end;
        stream_.pop_front();
        if (end == Cut::Pause) return TcpTimeoutOrShort;
        if (end == Cut::Break) return TcpConnectionLost;
        continue;
      }
      const auto take = std::min(count - received, static_cast<int64_t>(piece.bytes.size()));
      MarkCurrent(destination + received, destination + received + take);
      std::copy_n(piece.bytes.begin(), take, destination + received);
      piece.bytes.erase(piece.bytes.begin(), piece.bytes.begin() + take);
      received += take;
    }
    return ResultCode::Success(count);
  }

  // Drops bytes up to the next time-out or break, which stands for the line falling quiet.
  void TcpDiscardUntilQuiet(int64_t quietMs, int64_t timeoutMs) override {
    ++discards;
    FUZZ_CHECK(discards == 1);
    FUZZ_CHECK(quietMs == kQuietLineMs && timeoutMs == kRxTimeoutMs);
    while (!stream_.empty()) {
      const Cut end = stream_.front().end;
      stream_.pop_front();
      if (end != Cut::Boundary) return;
    }
  }

 private:
  const Case& case_;
  const TcpExchangeState& state_;
  std::deque<Piece> stream_;
  std::vector<uint8_t> prepared_;
};

struct Outcome {
  ResultCode code{0};
  std::vector<uint16_t> registers;
  std::vector<uint8_t> response;
  uint16_t transactionId = 0;
  int64_t rxLength = 0;
  bool operator==(const Outcome&) const = default;
};

const std::vector<uint16_t> kUntouched = {0xDEAD, 0xBEEF, 0x5A5A};
constexpr uint8_t kResponseFill = 0x55;

bool IsExchangeFailure(ResultCode code) {
  return code == TcpNotConnected || code == TcpSendFailed || code == TcpTimeoutOrShort ||
         code == TcpProtocolIdNotZero || code == TcpBadMbapLength || code == TcpConnectionLost ||
         code == TcpTransactionIdMismatch || code == TcpUnitIdMismatch;
}

bool IsKnownExceptionOf(ResultCode code, ResultCode base) {
  const std::optional<uint8_t> e = ExceptionCodeIn(code, base);
  return e && IsKnownExceptionCode(*e);
}

// The request that went out carries the new transaction id, protocol 0, the PDU length and the slave id.
void CheckRequest(const Case& c, const TcpExchangeState& state, int64_t pduLength) {
  const uint8_t* tx = state.txFrame.data();
  FUZZ_CHECK(state.txLength == kMbapHeaderSize + pduLength);
  FUZZ_CHECK(((tx[0] << 8) | tx[1]) == state.transactionId);
  FUZZ_CHECK(tx[2] == 0 && tx[3] == 0);
  FUZZ_CHECK(((tx[4] << 8) | tx[5]) == pduLength + 1);
  FUZZ_CHECK(tx[6] == c.slaveId);
}

// The PDU handed back is the one just received, behind its header in the link's buffer.
void CheckPduReceived(const TcpExchangeState& state, int64_t pduLength, const uint8_t* pdu) {
  FUZZ_CHECK(state.rxLength == kMbapHeaderSize + pduLength);
  FUZZ_CHECK(std::equal(pdu, pdu + pduLength, state.rxFrame.begin() + kMbapHeaderSize));
}

void CheckRead(const TcpExchangeState& state, uint8_t fc, uint16_t quantity, const Outcome& o) {
  if (o.code.IsSuccess()) {
    FUZZ_CHECK(o.code == ResultCode::Success(quantity) && o.registers.size() == quantity);
    CheckPduReceived(state, 2 + 2 * o.code.Count(), state.responsePdu.data());
    const uint8_t* pdu = state.rxFrame.data() + kMbapHeaderSize;
    FUZZ_CHECK(pdu[0] == fc && pdu[1] == 2 * quantity);
    for (size_t i = 0; i < quantity; ++i)
      FUZZ_CHECK(o.registers[i] == ((pdu[2 + 2 * i] << 8) | pdu[3 + 2 * i]));
    return;
  }
  if (quantity == 0 || quantity > kMaxReadQuantity) FUZZ_CHECK(o.code == ReadBadQuantity);
  FUZZ_CHECK(IsExchangeFailure(o.code) || o.code == ReadBadQuantity || o.code == ReadShortOrTimeout ||
             o.code == ReadUnexpectedLength || o.code == TcpReadByteCountMismatch ||
             o.code == TcpBadExceptionCode || IsKnownExceptionOf(o.code, ReadException));
}

void CheckWrite(const TcpExchangeState& state, uint8_t fc, ResultCode success, ResultCode code) {
  if (code.IsSuccess()) {
    FUZZ_CHECK(code == success);
    CheckPduReceived(state, 5, state.responsePdu.data());
    FUZZ_CHECK(state.rxFrame[kMbapHeaderSize] == fc);
    return;
  }
  const bool one = fc == kFcWriteSingle;
  FUZZ_CHECK(IsExchangeFailure(code) || code == TcpBadExceptionCode ||
             (one ? code == TcpWriteOneUnexpectedLength || IsKnownExceptionOf(code, WriteOneException)
                  : code == WriteManyBadQuantity || code == TcpWriteManyUnexpectedLength ||
                        IsKnownExceptionOf(code, WriteManyException)));
}

// A bare exchange of a PDU put behind the header by hand, with a response buffer of exactly the capacity
// offered.
void RunExchange(const Case& c, const TcpTransactionContext& context, FuzzTcpTransport& transport, Outcome& o,
                 int64_t& pduLength) {
  pduLength = c.start % (kMaxPduLength + 40);  // some beyond what the request buffer can take
  const int64_t capacity = c.quantity == 255 ? kTcpPduFrameSize : 3 * c.quantity;
  std::fill_n(context.state.txFrame.data() + kMbapHeaderSize, std::min(pduLength, kMaxPduLength), 0x03);
  transport.Prepared(pduLength);
  ExactBuffer response(static_cast<size_t>(capacity));
  std::fill_n(response.data(), capacity, kResponseFill);
  o.code = TcpExchange(context, pduLength, response.data(), capacity);
  o.response.assign(response.data(), response.data() + capacity);
  if (o.code.IsSuccess()) {
    FUZZ_CHECK(o.code.Count() <= capacity);
    CheckPduReceived(context.state, o.code.Count(), response.data());
  } else {
    FUZZ_CHECK(IsExchangeFailure(o.code));
  }
  if (pduLength > kMaxPduLength && c.connected) FUZZ_CHECK(o.code == TcpSendFailed);
}

// Runs the case once with both receive buffers filled with staleFill beforehand (an older answer).
Outcome Run(const Case& c, uint8_t staleFill) {
  auto state = std::make_unique<TcpExchangeState>();
  state->transactionId = c.transactionId;
  state->rxTimeoutMs = kRxTimeoutMs;
  state->rxFrame.fill(staleFill);
  state->responsePdu.fill(staleFill);
  MarkStale(state->rxFrame.data(), state->rxFrame.data() + state->rxFrame.size());
  FuzzTcpTransport transport(c, *state);
  const TcpTransactionContext context{transport, *state, c.slaveId};

  Outcome o;
  o.registers = kUntouched;
  int64_t pduLength = -1;  // stays -1 when the transaction refuses before building a request
  const uint16_t start = c.start;
  switch (c.transaction) {
    case Transaction::ReadHolding:
    case Transaction::ReadInput: {
      const uint8_t fc = c.transaction == Transaction::ReadHolding ? kFcReadHolding : kFcReadInput;
      const uint16_t quantity = c.quantity % 128;  // a few counts beyond the limits, most inside
      const TcpRequest request = TcpPrepareRead(context, fc, start, quantity);
      transport.Prepared(request.pduLength);
      o.code = TcpReadRegisters(context, request, o.registers);
      if (quantity >= 1 && quantity <= kMaxReadQuantity) pduLength = 5;
      CheckRead(*state, fc, quantity, o);
      break;
    }
    case Transaction::WriteOne: {
      const TcpRequest request = TcpPrepareWriteSingle(context, start, static_cast<uint16_t>(~start));
      transport.Prepared(request.pduLength);
      o.code = TcpWriteSingleRegister(context, request);
      pduLength = 5;
      CheckWrite(*state, kFcWriteSingle, ResultCode::Success(1), o.code);
      break;
    }
    case Transaction::WriteMany: {
      const int64_t count = c.quantity % 128;
      std::vector<uint16_t> values(static_cast<size_t>(c.valuesShort && count > 0 ? count - 1 : count));
      for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(start + i);
      const TcpRequest request = TcpPrepareWriteMultiple(context, start, values, count);
      transport.Prepared(request.pduLength);
      o.code = TcpWriteMultipleRegisters(context, request);
      if (count >= 1 && count <= kMaxWriteQuantity && static_cast<size_t>(count) <= values.size()) {
        pduLength = 6 + 2 * count;
      }
      CheckWrite(*state, kFcWriteMultiple, ResultCode::Success(count), o.code);
      break;
    }
    case Transaction::Exchange:
      RunExchange(c, context, transport, o, pduLength);
      break;
  }
  FUZZ_CHECK(o.code.IsSuccess() || HasOwnMessage(o.code));

  // Every exchange that finds a connection uses up exactly one id; a refused call none.
  const bool exchanged = pduLength >= 0 && c.connected;
  FUZZ_CHECK(state->transactionId == static_cast<uint16_t>(c.transactionId + (exchanged ? 1 : 0)));
  if (exchanged && pduLength <= kMaxPduLength) CheckRequest(c, *state, pduLength);
  if (!exchanged) FUZZ_CHECK(transport.sends == 0 && transport.receives == 0);
  if (!c.connected && pduLength >= 0) FUZZ_CHECK(o.code == TcpNotConnected);
  if (exchanged && c.sendFails) FUZZ_CHECK(o.code == TcpSendFailed);
  // A length that cannot be trusted leaves the end of the response unknown: the line is drained.
  if (o.code == TcpBadMbapLength) FUZZ_CHECK(transport.discards == 1);
  if (o.code != TcpProtocolIdNotZero && o.code != TcpBadMbapLength) FUZZ_CHECK(transport.discards == 0);
  FUZZ_CHECK(state->rxLength == 0 ||
             (state->rxLength >= kMbapHeaderSize && state->rxLength <= kTcpRxFrameSize));

  o.transactionId = state->transactionId;
  o.rxLength = state->rxLength;
  MarkCurrent(state->rxFrame.data(), state->rxFrame.data() + state->rxFrame.size());
  return o;
}

}  // namespace
}  // namespace varnetik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnetik::fuzz;
  const Case c = ReadCase(data, size);
  // An older answer left in the buffers must not change the verdict, with or without AddressSanitizer.
  FUZZ_CHECK(Run(c, 0x00) == Run(c, 0xFF));
  return 0;
}
