#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "modbus/TcpTransactions.h"
#include "tests/modbus/ScriptedTcpTransport.h"

namespace varnetik {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Adu;
using testing::MbapHeader;
using testing::ScriptedTcpTransport;

enum class Op { ReadTwo, ReadThree, WriteOne, WriteMany };

const Bytes kReadRequestPdu{0x03, 0x00, 0x00, 0x00, 0x02};
const Bytes kReadTwoPdu{0x03, 0x04, 0x00, 0x01, 0x00, 0x02};

Bytes Plus(Bytes bytes, const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

class TcpTransactionsTest : public ::testing::Test {
 protected:
  ScriptedTcpTransport transport;
  TcpExchangeState state;
  TcpTransactionContext context{transport, state, 1};
  std::vector<uint16_t> registers;

  void Reset() {
    transport = ScriptedTcpTransport{};
    state = TcpExchangeState{};
  }

  // The transactions prepared and then exchanged, as the operations run them; reads of holding
  // registers from 0.
  ResultCode ReadFromZero(uint16_t quantity) {
    return TcpReadRegisters(context, TcpPrepareRead(context, kFcReadHolding, 0, quantity), registers);
  }
  ResultCode WriteMany(uint16_t start, const std::vector<uint16_t>& values, int64_t count) {
    return TcpWriteMultipleRegisters(context, TcpPrepareWriteMultiple(context, start, values, count));
  }

  // Read of 2 or 3 holding registers from 0, write of 3 to register 1, write of 10,20 from register 1.
  ResultCode Run(Op op) {
    switch (op) {
      case Op::ReadTwo: return ReadFromZero(2);
      case Op::ReadThree: return ReadFromZero(3);
      case Op::WriteOne: return TcpWriteSingleRegister(context, TcpPrepareWriteSingle(context, 1, 3));
      case Op::WriteMany: return WriteMany(1, {10, 20}, 2);
    }
    return ResultCode::Success(0);
  }

  // Puts pdu where a prepared request waits and exchanges it.
  ResultCode ExchangePdu(const Bytes& pdu, uint8_t* response, int64_t capacity) {
    std::copy(pdu.begin(), pdu.end(), state.txFrame.begin() + kMbapHeaderSize);
    return TcpExchange(context, static_cast<int64_t>(pdu.size()), response, capacity);
  }

  ResultCode Exchange(int64_t capacity = kTcpPduFrameSize) {
    return ExchangePdu(kReadRequestPdu, state.responsePdu.data(), capacity);
  }

  Bytes SentTransactionId(size_t index) const {
    return Bytes(transport.sent[index].begin(), transport.sent[index].begin() + 2);
  }
};

TEST_F(TcpTransactionsTest, WorkedFrames) {
  const Bytes response = {0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02};
  transport.Deliver(response);
  ASSERT_EQ(Exchange(), ResultCode::Success(6));
  EXPECT_EQ(transport.sent[0], Plus({0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01}, kReadRequestPdu));
  EXPECT_EQ(state.txLength, 12);
  EXPECT_EQ(Bytes(state.responsePdu.begin(), state.responsePdu.begin() + 6), kReadTwoPdu);
  EXPECT_EQ(state.rxLength, 13);
  EXPECT_EQ(Bytes(state.rxFrame.begin(), state.rxFrame.begin() + 13), response);

  Reset();
  EXPECT_EQ(ReadFromZero(10), TcpTimeoutOrShort);
  EXPECT_EQ(transport.sent[0],
            (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}));

  Reset();
  transport.Deliver(response);
  EXPECT_EQ(Run(Op::ReadTwo), ResultCode::Success(2));
  EXPECT_EQ(registers, (std::vector<uint16_t>{1, 2}));

  Reset();
  transport.Deliver({0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x02});
  EXPECT_EQ(Run(Op::ReadTwo), ResultCode{-258});
}

struct PduCase {
  const char* name;
  Op op;
  Bytes pdu;
  ResultCode expected;
};

// The response buffer starts each row holding an exception answer with a known code, so a result
// taken from stale bytes would show as an exception.
const PduCase kPdus[] = {
    {"read ok", Op::ReadTwo, kReadTwoPdu, ResultCode::Success(2)},
    {"read: other function code", Op::ReadTwo, {0x04, 0x04, 0x00, 0x01, 0x00, 0x02}, ReadUnexpectedLength},
    {"read: unknown exception", Op::ReadTwo, {0x83, 0x07}, TcpBadExceptionCode},
    {"read: exception", Op::ReadTwo, {0x83, 0x02}, ResultCode{-258}},
    {"read: exception, longer PDU", Op::ReadTwo, {0x83, 0x03, 0x00}, ResultCode{-259}},
    {"read: empty PDU", Op::ReadTwo, {}, ReadShortOrTimeout},
    {"read: 1-byte PDU", Op::ReadTwo, {0x83}, ReadShortOrTimeout},
    {"read: 1-byte PDU, right code", Op::ReadTwo, {0x03}, ReadShortOrTimeout},
    {"read: byte count", Op::ReadThree, {0x03, 0x04, 0x00, 0x01, 0x00, 0x02}, TcpReadByteCountMismatch},
    {"read: PDU short of its byte count",
     Op::ReadThree,
     {0x03, 0x06, 0x00, 0x01, 0x00, 0x02},
     ReadShortOrTimeout},
    {"read: PDU beyond its byte count", Op::ReadTwo, Plus(kReadTwoPdu, {0x00}), ReadShortOrTimeout},
    {"write one ok", Op::WriteOne, {0x06, 0x00, 0x01, 0x00, 0x03}, ResultCode::Success(1)},
    {"write one: other value echoed", Op::WriteOne, {0x06, 0x00, 0x01, 0x12, 0x34}, ResultCode::Success(1)},
    {"write one: exception", Op::WriteOne, {0x86, 0x02}, ResultCode{-514}},
    {"write one: unknown exception", Op::WriteOne, {0x86, 0x07}, TcpBadExceptionCode},
    {"write one: empty PDU", Op::WriteOne, {}, TcpWriteOneUnexpectedLength},
    {"write one: 1-byte PDU", Op::WriteOne, {0x86}, TcpWriteOneUnexpectedLength},
    {"write one: 4 bytes", Op::WriteOne, {0x06, 0x00, 0x01, 0x00}, TcpWriteOneUnexpectedLength},
    {"write one: 6 bytes", Op::WriteOne, {0x06, 0x00, 0x01, 0x00, 0x03, 0x00}, TcpWriteOneUnexpectedLength},
    {"write one: function code", Op::WriteOne, {0x10, 0x00, 0x01, 0x00, 0x03}, TcpWriteOneUnexpectedLength},
    {"write many ok", Op::WriteMany, {0x10, 0x00, 0x01, 0x00, 0x02}, ResultCode::Success(2)},
    {"write many: exception", Op::WriteMany, {0x90, 0x04}, ResultCode{-772}},
    {"write many: unknown exception", Op::WriteMany, {0x90, 0x07}, TcpBadExceptionCode},
    {"write many: empty PDU", Op::WriteMany, {}, TcpWriteManyUnexpectedLength},
    {"write many: 1-byte PDU", Op::WriteMany, {0x90}, TcpWriteManyUnexpectedLength},
    {"write many: 4 bytes", Op::WriteMany, {0x10, 0x00, 0x01, 0x00}, TcpWriteManyUnexpectedLength},
    {"write many: function code",
     Op::WriteMany,
     {0x06, 0x00, 0x01, 0x00, 0x02},
     TcpWriteManyUnexpectedLength},
};

TEST_F(TcpTransactionsTest, JudgingTheResponsePdu) {
  for (const PduCase& c : kPdus) {
    Reset();
    state.responsePdu[0] = 0xFF;
    state.responsePdu[1] = 0x02;
    transport.Deliver(Adu(1, c.pdu));
    EXPECT_EQ(Run(c.op), c.expected) << c.name;
    EXPECT_EQ(transport.sent.size(), 1u) << c.name;
    EXPECT_TRUE(transport.StreamEmpty()) << c.name;
  }
}

TEST_F(TcpTransactionsTest, LateResponseIsSkippedForTheRightOne) {
  state.transactionId = 41;
  state.rxTimeoutMs = 300;
  transport.Deliver(Adu(41, {0x03, 0x04, 0x00, 0x09, 0x00, 0x09}));
  const Bytes right = Adu(42, kReadTwoPdu);
  transport.Deliver(Bytes(right.begin(), right.begin() + 3));
  transport.Deliver(Bytes(right.begin() + 3, right.begin() + 9));
  transport.Deliver(Bytes(right.begin() + 9, right.end()));

  EXPECT_EQ(Run(Op::ReadTwo), ResultCode::Success(2));
  EXPECT_EQ(registers, (std::vector<uint16_t>{1, 2}));
  const std::vector<std::pair<int64_t, int64_t>> expectedReceives{{7, 300}, {6, 50}, {7, 300}, {6, 300}};
  ASSERT_EQ(transport.receives.size(), expectedReceives.size());
  for (size_t i = 0; i < expectedReceives.size(); ++i) {
    EXPECT_EQ(transport.receives[i].count, expectedReceives[i].first) << i;
    EXPECT_EQ(transport.receives[i].timeoutMs, expectedReceives[i].second) << i;
  }
  EXPECT_EQ(transport.sent.size(), 1u);
  EXPECT_EQ(state.rxLength, 13);
}

struct StreamCase {
  const char* name;
  std::function<void(ScriptedTcpTransport&)> script;
  ResultCode expected;
  int64_t rxLength;  // 99: left as it was
  size_t receives;
};

// The request carries transaction id 1 and unit id 1.
const StreamCase kStreams[] = {
    {"two wrong transaction ids", [](auto& t) { t.Deliver(Plus(Adu(7, kReadTwoPdu), Adu(8, {0x03}))); },
     TcpTransactionIdMismatch, 8, 4},
    {"wrong id, then wrong unit",
     [](auto& t) { t.Deliver(Plus(Adu(7, kReadTwoPdu), Adu(1, kReadTwoPdu, 9))); }, TcpUnitIdMismatch, 13, 4},
    {"wrong unit, then wrong id",
     [](auto& t) { t.Deliver(Plus(Adu(1, kReadTwoPdu, 9), Adu(7, kReadTwoPdu))); }, TcpTransactionIdMismatch,
     13, 4},
    {"both ids wrong, twice",
     [](auto& t) { t.Deliver(Plus(Adu(7, kReadTwoPdu, 9), Adu(8, kReadTwoPdu, 9))); },
     TcpTransactionIdMismatch, 13, 4},
    {"both ids wrong, then the right one",
     [](auto& t) { t.Deliver(Plus(Adu(7, {0x03}, 9), Adu(1, kReadTwoPdu))); }, ResultCode::Success(6), 13,
     4},
    {"wrong, then silence", [](auto& t) { t.Deliver(Adu(7, kReadTwoPdu)); }, TcpTimeoutOrShort, 13, 3},
    {"wrong, then connection lost",
     [](auto& t) {
       t.Deliver(Adu(7, kReadTwoPdu));
       t.Break();
     },
     TcpConnectionLost, 13, 3},
    {"wrong, PDU too late for the skip",
     [](auto& t) {
       t.Deliver(MbapHeader(7, 0, 7, 1));
       t.Pause();
       t.Deliver(kReadTwoPdu);
     },
     TcpTimeoutOrShort, 7, 3},
    {"wrong, connection lost in the skip",
     [](auto& t) {
       t.Deliver(MbapHeader(7, 0, 7, 1));
       t.Break();
       t.Deliver(Adu(1, kReadTwoPdu));
     },
     ResultCode::Success(6), 13, 4},
    {"protocol id 1 wins over a wrong id",
     [](auto& t) { t.Deliver(Plus(MbapHeader(7, 1, 7, 1), kReadTwoPdu)); }, TcpProtocolIdNotZero, 99, 2},
    {"MBAP length 0 on a wrong id", [](auto& t) { t.Deliver(MbapHeader(7, 0, 0, 1)); }, TcpBadMbapLength, 99,
     1},
    {"no header", [](auto&) {}, TcpTimeoutOrShort, 99, 1},
    {"half a header",
     [](auto& t) {
       t.Deliver({0x00, 0x01, 0x00});
     },
     TcpTimeoutOrShort, 99, 1},
    {"PDU short",
     [](auto& t) {
       t.Deliver(Plus(MbapHeader(1, 0, 7, 1), {0x03, 0x04}));
     },
     TcpTimeoutOrShort, 99, 2},
    {"connection lost in the PDU",
     [](auto& t) {
       t.Deliver(MbapHeader(1, 0, 7, 1));
       t.Break();
     },
     TcpConnectionLost, 99, 2},
};

TEST_F(TcpTransactionsTest, ForeignAndBrokenResponses) {
  for (const StreamCase& c : kStreams) {
    Reset();
    state.rxLength = 99;
    c.script(transport);
    EXPECT_EQ(Exchange(), c.expected) << c.name;
    EXPECT_EQ(state.rxLength, c.rxLength) << c.name;
    EXPECT_EQ(transport.receives.size(), c.receives) << c.name;
    EXPECT_EQ(transport.sent.size(), 1u) << c.name;
  }
}

struct BadHeaderCase {
  const char* name;
  Bytes response;  // the response with the unusable header, as it arrives
  ResultCode expected;
  bool lengthTrusted;  // its rest is read by its length, not drained until the line falls quiet
};

const BadHeaderCase kBadHeaders[] = {
    {"protocol id 1", Plus(MbapHeader(1, 1, 7, 1), kReadTwoPdu), TcpProtocolIdNotZero, true},
    {"protocol id 1, length 1", MbapHeader(1, 1, 1, 1), TcpProtocolIdNotZero, true},
    {"protocol id 1, length 514", Plus(MbapHeader(1, 1, 514, 1), Bytes(513, 0x03)), TcpProtocolIdNotZero,
     true},
    {"protocol id 1, length 0", Plus(MbapHeader(1, 1, 0, 1), kReadTwoPdu), TcpProtocolIdNotZero, false},
    {"protocol id FFFF, length 515", Plus(MbapHeader(1, 0xFFFF, 515, 1), kReadTwoPdu), TcpProtocolIdNotZero,
     false},
    {"length 0", Plus(MbapHeader(1, 0, 0, 1), kReadTwoPdu), TcpBadMbapLength, false},
    {"length 515", Plus(MbapHeader(1, 0, 515, 1), kReadTwoPdu), TcpBadMbapLength, false},
    {"length FFFF", Plus(MbapHeader(1, 0, 0xFFFF, 1), Bytes(600, 0x00)), TcpBadMbapLength, false},
};

// Whatever is left of a response with an unusable header is dropped before the result is returned, so
// the answer to the next request is read from its own header.
TEST_F(TcpTransactionsTest, BadHeaderLeavesTheStreamAtAFrameBoundary) {
  for (const BadHeaderCase& c : kBadHeaders) {
    Reset();
    state.rxTimeoutMs = 300;
    state.rxLength = 99;
    transport.Deliver(c.response);
    transport.Quiet();
    transport.Deliver(Adu(2, kReadTwoPdu));

    EXPECT_EQ(Exchange(), c.expected) << c.name;
    EXPECT_EQ(state.rxLength, 99) << c.name;
    if (c.lengthTrusted) {
      EXPECT_TRUE(transport.discards.empty()) << c.name;
      ASSERT_EQ(transport.receives.size(), 2u) << c.name;
      EXPECT_EQ(transport.receives[1].count, static_cast<int64_t>(c.response.size()) - 7) << c.name;
      EXPECT_EQ(transport.receives[1].timeoutMs, 300) << c.name;
    } else {
      EXPECT_EQ(transport.receives.size(), 1u) << c.name;
      ASSERT_EQ(transport.discards.size(), 1u) << c.name;
      EXPECT_EQ(transport.discards[0].quietMs, 50) << c.name;
      EXPECT_EQ(transport.discards[0].timeoutMs, 300) << c.name;
    }
    EXPECT_EQ(Exchange(), ResultCode::Success(6)) << c.name;
    EXPECT_TRUE(transport.StreamEmpty()) << c.name;
  }
}

// The length limit is the caller's capacity + 1, and never more than rxFrame can hold behind the header.
TEST_F(TcpTransactionsTest, MbapLengthLimits) {
  const struct {
    int64_t capacity;
    uint16_t length;
    ResultCode expected;
  } cases[] = {
      {513, 514, ResultCode::Success(513)}, {513, 515, TcpBadMbapLength},
      {513, 1, ResultCode::Success(0)},     {4, 5, ResultCode::Success(4)},
      {4, 6, TcpBadMbapLength},             {2000, 515, ResultCode::Success(514)},
      {2000, 516, TcpBadMbapLength},
  };
  for (const auto& c : cases) {
    Reset();
    Bytes pdu(c.length - 1u);
    for (size_t i = 0; i < pdu.size(); ++i) pdu[i] = static_cast<uint8_t>(i * 7);
    transport.Deliver(Adu(1, pdu));
    Bytes response(2000, 0xAA);
    const ResultCode result = ExchangePdu(kReadRequestPdu, response.data(), c.capacity);
    EXPECT_EQ(result, c.expected) << c.capacity << "/" << c.length;
    if (result.IsFailure()) continue;
    const int64_t length = result.Count();
    EXPECT_EQ(Bytes(response.begin(), response.begin() + length), pdu);
    EXPECT_EQ(response[static_cast<size_t>(length)], 0xAA);
    EXPECT_EQ(state.rxLength, 7 + length);
  }
}

TEST_F(TcpTransactionsTest, TransactionCounter) {
  transport.Deliver(Adu(1, kReadTwoPdu));
  EXPECT_EQ(Run(Op::ReadTwo), ResultCode::Success(2));
  EXPECT_EQ(SentTransactionId(0), (Bytes{0x00, 0x01}));

  // Refused quantities and a missing connection neither send nor use an id.
  EXPECT_EQ(ReadFromZero(0), ReadBadQuantity);
  EXPECT_EQ(ReadFromZero(126), ReadBadQuantity);
  EXPECT_EQ(WriteMany(0, {1, 2}, 0), WriteManyBadQuantity);
  EXPECT_EQ(WriteMany(0, std::vector<uint16_t>(124), 124), WriteManyBadQuantity);
  EXPECT_EQ(WriteMany(0, {1, 2}, 3), WriteManyBadQuantity);
  transport.connected = false;
  for (Op op : {Op::ReadTwo, Op::WriteOne, Op::WriteMany}) EXPECT_EQ(Run(op), TcpNotConnected);
  EXPECT_EQ(state.transactionId, 1);
  EXPECT_EQ(transport.sent.size(), 1u);

  // A failed or partial send still uses up its id, and nothing is read after it.
  transport.connected = true;
  transport.sendResults = {-1, 5};
  EXPECT_EQ(Run(Op::WriteOne), TcpSendFailed);
  EXPECT_EQ(Run(Op::WriteOne), TcpSendFailed);
  EXPECT_EQ(state.transactionId, 3);
  EXPECT_EQ(transport.receives.size(), 2u);

  // Reconnecting does not reset the counter; after 65535 comes 0.
  transport.Deliver(Adu(4, {0x06, 0x00, 0x01, 0x00, 0x03}));
  EXPECT_EQ(Run(Op::WriteOne), ResultCode::Success(1));
  EXPECT_EQ(SentTransactionId(3), (Bytes{0x00, 0x04}));
  state.transactionId = 65535;
  transport.Deliver(Adu(0, {0x06, 0x00, 0x01, 0x00, 0x03}));
  EXPECT_EQ(Run(Op::WriteOne), ResultCode::Success(1));
  EXPECT_EQ(SentTransactionId(4), (Bytes{0x00, 0x00}));
  EXPECT_EQ(state.transactionId, 0);
}

TEST_F(TcpTransactionsTest, RequestFramesCarryTheSlaveIdAndFitTheBuffer) {
  context.slaveId = 17;
  std::vector<uint16_t> values(123);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(0x0100 + i);
  transport.Deliver(Adu(1, {0x10, 0x00, 0x05, 0x00, 0x7B}, 17));
  EXPECT_EQ(WriteMany(5, values, 123), ResultCode::Success(123));
  ASSERT_EQ(state.txLength, 259);
  const Bytes& sent = transport.sent[0];
  ASSERT_EQ(sent.size(), 259u);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 13),
            (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0xFD, 17, 0x10, 0x00, 0x05, 0x00, 0x7B, 246}));
  EXPECT_EQ(Bytes(sent.end() - 2, sent.end()), (Bytes{0x01, 0x7A}));
}

// A PDU length that cannot fit the 261-byte request buffer is refused instead of sending beyond it.
TEST_F(TcpTransactionsTest, OversizedRequestPduIsNotSent) {
  for (int64_t length : {int64_t{255}, int64_t{300}, int64_t{-1}}) {
    EXPECT_EQ(TcpExchange(context, length, state.responsePdu.data(), 513), TcpSendFailed);
  }
  EXPECT_TRUE(transport.sent.empty());
  EXPECT_EQ(state.transactionId, 3);
}

}  // namespace
}  // namespace varnetik
