#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "modbus/RtuTransactions.h"
#include "tests/modbus/ScriptedRtuExchanger.h"

namespace varnetik {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::WithBadCrc;
using testing::WithCrc;

enum class Op { Read, WriteOne, WriteMany };

class RtuTransactionsTest : public ::testing::Test {
 protected:
  testing::ScriptedRtuExchanger exchanger;
  RtuTxFrame txFrame{};
  RtuRxFrame rxFrame{};
  RtuTransactionContext context{exchanger, txFrame, rxFrame, 1, 800};
  std::vector<uint16_t> registers;

  // The transactions prepared and then exchanged, as the operations run them; writes from register 0.
  ResultCode Read(uint8_t functionCode, uint16_t quantity) {
    return RtuReadRegisters(context, RtuPrepareRead(context, functionCode, 0, quantity), registers);
  }
  ResultCode WriteFromZero(const std::vector<uint16_t>& values, int64_t count) {
    return RtuWriteMultipleRegisters(context, RtuPrepareWriteMultiple(context, 0, values, count));
  }

  // Read of 2 holding registers from 0, write of 3 to register 1, write of 10,20 from register 1.
  ResultCode Run(Op op) {
    switch (op) {
      case Op::Read: return Read(kFcReadHolding, 2);
      case Op::WriteOne: return RtuWriteSingleRegister(context, RtuPrepareWriteSingle(context, 1, 3));
      case Op::WriteMany:
        return RtuWriteMultipleRegisters(context, RtuPrepareWriteMultiple(context, 1, {10, 20}, 2));
    }
    return ResultCode::Success(0);
  }
};

struct OrderCase {
  const char* name;
  Op op;
  Bytes reply;
  std::optional<RtuExchangeResult> exchangeResult;  // a failed exchange instead of the bytes stored
  ResultCode expected;
};

const Bytes kReadOk{0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02};
const Bytes kWriteOneEcho{0x01, 0x06, 0x00, 0x01, 0x00, 0x03};
const Bytes kWriteManyOk{0x01, 0x10, 0x00, 0x01, 0x00, 0x02};
constexpr RtuExchangeResult kNoPort{RtuExchangeStatus::NoPortOpen, 0};
// The write failed, yet a whole answer lies in the buffer and is counted: a failure's count is never read.
constexpr RtuExchangeResult kSendFailed{RtuExchangeStatus::SendFailed, 9};

Bytes Plus(Bytes bytes, const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

// Each row is built so that every check before the named one passes and the named one fails.
const OrderCase kOrder[] = {
    {"read: no port", Op::Read, {}, kNoPort, ReadShortOrTimeout},
    {"read: write failed", Op::Read, WithCrc(kReadOk), kSendFailed, ReadShortOrTimeout},
    {"read: silence", Op::Read, {}, std::nullopt, ReadShortOrTimeout},
    {"read: 4 bytes", Op::Read, {0x01, 0x83, 0x02, 0xC0}, std::nullopt, ReadShortOrTimeout},
    {"read: exception", Op::Read, {0x01, 0x83, 0x02, 0xC0, 0xF1}, std::nullopt, ResultCode{-258}},
    {"read: exception, CRC before code", Op::Read, WithBadCrc({0x01, 0x83, 0x07}), std::nullopt,
     ReadCrcError},
    {"read: exception, unknown code", Op::Read, WithCrc({0x01, 0x83, 0x07}), std::nullopt,
     RtuBadExceptionCode},
    {"read: exception plus stray byte", Op::Read, Plus(WithCrc({0x01, 0x83, 0x02}), {0x00}), std::nullopt,
     ReadShortOrTimeout},
    {"read: 5 bytes, no exception bit", Op::Read, WithCrc({0x01, 0x03, 0x02}), std::nullopt,
     ReadShortOrTimeout},
    {"read: length before CRC", Op::Read, WithBadCrc({0x01, 0x03, 0x04, 0x00, 0x01, 0x00}), std::nullopt,
     ReadShortOrTimeout},
    {"read: one byte too many", Op::Read, Plus(WithCrc(kReadOk), {0x00}), std::nullopt, ReadShortOrTimeout},
    {"read: CRC before byte count", Op::Read, WithBadCrc({0x01, 0x03, 0x02, 0x00, 0x01, 0x00, 0x02}),
     std::nullopt, ReadCrcError},
    {"read: byte count", Op::Read, WithCrc({0x01, 0x03, 0x02, 0x00, 0x01, 0x00, 0x02}), std::nullopt,
     ReadByteCountMismatch},
    {"read: ok", Op::Read, WithCrc(kReadOk), std::nullopt, ResultCode::Success(2)},
    {"read: function code not compared", Op::Read, WithCrc({0x01, 0x04, 0x04, 0x00, 0x01, 0x00, 0x02}),
     std::nullopt, ResultCode::Success(2)},
    {"read: slave address not compared", Op::Read, WithCrc({0x09, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02}),
     std::nullopt, ResultCode::Success(2)},

    {"write one: no port", Op::WriteOne, {}, kNoPort, WriteOneShortOrTimeout},
    {"write one: write failed", Op::WriteOne, WithCrc(kWriteOneEcho), kSendFailed, WriteOneShortOrTimeout},
    {"write one: silence", Op::WriteOne, {}, std::nullopt, WriteOneShortOrTimeout},
    {"write one: 4 bytes", Op::WriteOne, {0x01, 0x86, 0x02, 0xC3}, std::nullopt, WriteOneShortOrTimeout},
    {"write one: CRC before exception", Op::WriteOne, WithBadCrc({0x01, 0x86, 0x02}), std::nullopt,
     WriteOneCrcError},
    {"write one: exception", Op::WriteOne, WithCrc({0x01, 0x86, 0x02}), std::nullopt, ResultCode{-514}},
    {"write one: unnamed exception passed on", Op::WriteOne, WithCrc({0x01, 0x86, 0x07}), std::nullopt,
     ResultCode{-519}},
    {"write one: exception code 0", Op::WriteOne, WithCrc({0x01, 0x86, 0x00}), std::nullopt,
     ResultCode{-512}},
    {"write one: exception code 255", Op::WriteOne, WithCrc({0x01, 0x86, 0xFF}), std::nullopt,
     ResultCode{-767}},
    {"write one: exception in 8 bytes", Op::WriteOne, WithCrc({0x01, 0x86, 0x03, 0x00, 0x01, 0x00}),
     std::nullopt, ResultCode{-515}},
    {"write one: 5 bytes", Op::WriteOne, WithCrc({0x01, 0x06, 0x00}), std::nullopt, WriteOneUnexpectedLength},
    {"write one: 7 bytes", Op::WriteOne, WithCrc({0x01, 0x06, 0x00, 0x01, 0x00}), std::nullopt,
     WriteOneUnexpectedLength},
    {"write one: 6 bytes, bad CRC", Op::WriteOne, WithBadCrc({0x01, 0x06, 0x00, 0x01}), std::nullopt,
     WriteOneCrcError},
    {"write one: 9 bytes", Op::WriteOne, WithCrc(Plus(kWriteOneEcho, {0x00})), std::nullopt,
     WriteOneUnexpectedLength},
    {"write one: echo", Op::WriteOne, WithCrc(kWriteOneEcho), std::nullopt, ResultCode::Success(1)},
    {"write one: other value echoed", Op::WriteOne, WithCrc({0x01, 0x06, 0x00, 0x01, 0x12, 0x34}),
     std::nullopt, ResultCode::Success(1)},

    {"write many: no port", Op::WriteMany, {}, kNoPort, WriteManyShortOrTimeout},
    {"write many: write failed", Op::WriteMany, WithCrc(kWriteManyOk), kSendFailed, WriteManyShortOrTimeout},
    {"write many: 4 bytes", Op::WriteMany, {0x01, 0x90, 0x04, 0x4D}, std::nullopt, WriteManyShortOrTimeout},
    {"write many: CRC before exception", Op::WriteMany, WithBadCrc({0x01, 0x90, 0x07}), std::nullopt,
     WriteManyCrcError},
    {"write many: unknown exception code", Op::WriteMany, WithCrc({0x01, 0x90, 0x07}), std::nullopt,
     RtuBadExceptionCode},
    {"write many: exception", Op::WriteMany, WithCrc({0x01, 0x90, 0x04}), std::nullopt, ResultCode{-772}},
    {"write many: unknown code in 8 bytes", Op::WriteMany, WithCrc({0x01, 0x90, 0x09, 0x00, 0x01, 0x00}),
     std::nullopt, RtuBadExceptionCode},
    {"write many: 6 bytes", Op::WriteMany, WithCrc({0x01, 0x10, 0x00, 0x01}), std::nullopt,
     WriteManyUnexpectedLength},
    {"write many: 6 bytes, bad CRC", Op::WriteMany, WithBadCrc({0x01, 0x10, 0x00, 0x01}), std::nullopt,
     WriteManyCrcError},
    {"write many: ok", Op::WriteMany, WithCrc(kWriteManyOk), std::nullopt, ResultCode::Success(2)},
    {"write many: echo not compared", Op::WriteMany, WithCrc({0x01, 0x10, 0x12, 0x34, 0x00, 0x07}),
     std::nullopt, ResultCode::Success(2)},
};

TEST_F(RtuTransactionsTest, FirstFailingCheckWins) {
  for (const OrderCase& c : kOrder) {
    exchanger.calls.clear();
    exchanger.replies = {{c.reply, c.exchangeResult}};
    registers = {0xDEAD};
    const ResultCode result = Run(c.op);
    EXPECT_EQ(result, c.expected) << c.name;
    EXPECT_EQ(exchanger.calls.size(), 1u) << c.name;
    if (c.op == Op::Read) {
      // A failed read leaves the caller's array as it was.
      const std::vector<uint16_t> expected =
          result == ResultCode::Success(2) ? std::vector<uint16_t>{1, 2} : std::vector<uint16_t>{0xDEAD};
      EXPECT_EQ(registers, expected) << c.name;
    }
  }
}

TEST_F(RtuTransactionsTest, RequestAndExchangeArguments) {
  const struct {
    Op op;
    Bytes request;
    int64_t earlyStop;
  } cases[] = {
      {Op::Read, {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B}, 9},
      {Op::WriteOne, {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B}, 8},
      {Op::WriteMany, {0x01, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x00, 0x14, 0x12, 0x6E}, 8},
  };
  context.rxTimeoutMs = 1234;
  for (const auto& c : cases) {
    exchanger.calls.clear();
    Run(c.op);
    ASSERT_EQ(exchanger.calls.size(), 1u);
    const testing::RtuExchangeCall& call = exchanger.calls[0];
    EXPECT_EQ(call.request, c.request);
    EXPECT_EQ(Bytes(txFrame.begin(), txFrame.begin() + static_cast<long>(c.request.size())), c.request);
    EXPECT_EQ(call.expectedLength, c.earlyStop);
    EXPECT_EQ(call.responseCapacity, 513);
    EXPECT_EQ(call.timeoutMs, 1234);
  }
}

TEST_F(RtuTransactionsTest, RefusedQuantitiesSendNothing) {
  const std::vector<uint16_t> twoValues{1, 2};
  const struct {
    const char* name;
    std::function<ResultCode()> run;
    ResultCode expected;
  } cases[] = {
      {"read 0", [&] { return Read(3, 0); }, ReadBadQuantity},
      {"read 126", [&] { return Read(3, 126); }, ReadBadQuantity},
      {"read 65535", [&] { return Read(4, 65535); }, ReadBadQuantity},
      {"write 0", [&] { return WriteFromZero(twoValues, 0); }, WriteManyBadQuantity},
      {"write -1", [&] { return WriteFromZero(twoValues, -1); }, WriteManyBadQuantity},
      {"write 124", [&] { return WriteFromZero(std::vector<uint16_t>(124), 124); }, WriteManyBadQuantity},
      {"write 3 of 2 values", [&] { return WriteFromZero(twoValues, 3); }, WriteManyBadQuantity},
  };
  for (const auto& c : cases) {
    txFrame.fill(0xAA);
    registers = {7};
    EXPECT_EQ(c.run(), c.expected) << c.name;
    EXPECT_TRUE(exchanger.calls.empty()) << c.name;
    EXPECT_EQ(txFrame[0], 0xAA) << c.name;
    EXPECT_EQ(registers, std::vector<uint16_t>{7}) << c.name;
  }
}

TEST_F(RtuTransactionsTest, LargestReadAndWrite) {
  Bytes response{0x01, 0x04, 250};
  for (int i = 0; i < 125; ++i) response.insert(response.end(), {static_cast<uint8_t>(i), 0x01});
  exchanger.replies = {{WithCrc(response), std::nullopt}};
  ASSERT_EQ(Read(kFcReadInput, 125), ResultCode::Success(125));
  EXPECT_EQ(exchanger.calls[0].expectedLength, 255);
  ASSERT_EQ(registers.size(), 125u);
  EXPECT_EQ(registers[124], 124 * 256 + 1);

  std::vector<uint16_t> values(130, 0x0102);  // only the first 123 are sent
  exchanger.replies = {{WithCrc({0x01, 0x10, 0x00, 0x00, 0x00, 0x7B}), std::nullopt}};
  EXPECT_EQ(WriteFromZero(values, 123), ResultCode::Success(123));
  ASSERT_EQ(exchanger.calls[1].request.size(), 255u);
  EXPECT_EQ(exchanger.calls[1].request[6], 246);
}

// An exchange that claims more bytes than it was offered must not lead the checks outside rxFrame.
TEST_F(RtuTransactionsTest, OverlongExchangeResultStaysInsideTheBuffer) {
  for (Op op : {Op::Read, Op::WriteOne, Op::WriteMany}) {
    exchanger.replies = {{{}, RtuExchangeResult{RtuExchangeStatus::Collected, 100000}}};
    const ResultCode rc = Run(op);
    EXPECT_TRUE(rc.IsFailure()) << rc;
  }
}

}  // namespace
}  // namespace varnetik
