// Our RTU transactions through the real link against libmodbus as an independent slave.
#include <functional>
#include <numeric>

#include <gtest/gtest.h>

#include "modbus/ResultCode.h"
#include "modbus/RtuTransactions.h"
#include "serial/RtuLink.h"
#include "tests/serial/TerminalPair.h"
#include "tests/support/LibmodbusSlave.h"

namespace varnetik {
namespace {

using testing::ElapsedMs;
using testing::LibmodbusSlave;

constexpr uint8_t kSlaveId = 17;
constexpr int kRegisters = 200;

class RtuLibmodbusInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint16_t> holding;
    std::vector<uint16_t> input;
    for (int i = 0; i < kRegisters; ++i) {
      holding.push_back(static_cast<uint16_t>(0x1000 + 3 * i));
      input.push_back(static_cast<uint16_t>(0xA000 + i));
    }
    slave.SetHolding(0, holding);
    slave.SetInput(0, input);
    link.portName = slave.SerialPath();
    link.baudRate = 19200;
    link.parity = 2;
    link.rxTimeoutMs = 2000;
    ASSERT_TRUE(link.RtuOpenPort());
  }

  RtuTransactionContext Context() { return link.TransactionContext(kSlaveId); }

  LibmodbusSlave slave{LibmodbusSlave::Link::Rtu, kSlaveId, kRegisters};
  RtuLink link;
};

TEST_F(RtuLibmodbusInteropTest, ReadsOneToAHundredTwentyFiveRegisters) {
  const struct {
    uint8_t functionCode;
    uint16_t start;
    uint16_t quantity;
  } cases[] = {{kFcReadHolding, 0, 1}, {kFcReadHolding, 10, 125}, {kFcReadInput, 75, 125}, {kFcReadInput, 199, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.quantity);
    std::vector<uint16_t> registers;
    ASSERT_EQ(RtuReadRegisters(Context(), RtuPrepareRead(Context(), c.functionCode, c.start, c.quantity),
                               registers),
              ResultCode::Success(c.quantity));
    ASSERT_EQ(registers.size(), c.quantity);
    for (uint16_t i = 0; i < c.quantity; ++i) {
      const auto address = static_cast<uint16_t>(c.start + i);
      EXPECT_EQ(registers[i], c.functionCode == kFcReadHolding ? slave.Holding(address, 1)[0]
                                                               : slave.Input(address, 1)[0]);
    }
  }
}

TEST_F(RtuLibmodbusInteropTest, WritesOneRegister) {
  ASSERT_EQ(RtuWriteSingleRegister(Context(), RtuPrepareWriteSingle(Context(), 5, 0xBEEF)),
            ResultCode::Success(1));
  EXPECT_EQ(slave.Holding(5, 1)[0], 0xBEEF);
  // 0x11 and 0x13 in the frame must pass the line untouched.
  ASSERT_EQ(RtuWriteSingleRegister(Context(), RtuPrepareWriteSingle(Context(), 0x13, 0x1311)),
            ResultCode::Success(1));
  EXPECT_EQ(slave.Holding(0x13, 1)[0], 0x1311);
}

TEST_F(RtuLibmodbusInteropTest, WritesAHundredTwentyThreeRegisters) {
  std::vector<uint16_t> values(123);
  std::iota(values.begin(), values.end(), uint16_t{0x1100});
  ASSERT_EQ(RtuWriteMultipleRegisters(Context(), RtuPrepareWriteMultiple(Context(), 20, values, 123)),
            ResultCode::Success(123));
  EXPECT_EQ(slave.Holding(20, 123), values);
  std::vector<uint16_t> readBack;
  ASSERT_EQ(RtuReadRegisters(Context(), RtuPrepareRead(Context(), kFcReadHolding, 20, 123), readBack),
            ResultCode::Success(123));
  EXPECT_EQ(readBack, values);
}

TEST_F(RtuLibmodbusInteropTest, AnExceptionAnswerArrivesAfterTheFullBudget) {
  link.rxTimeoutMs = 300;
  std::vector<uint16_t> registers;
  const std::vector<uint16_t> values(10, 1);
  const struct {
    const char* what;
    std::function<ResultCode()> run;
    ResultCode expected;
  } cases[] = {
      {"read",
       [&] {
         return RtuReadRegisters(Context(), RtuPrepareRead(Context(), kFcReadHolding, 195, 10), registers);
       },
       ExceptionResult(ReadException, 2)},
      {"write one",
       [&] { return RtuWriteSingleRegister(Context(), RtuPrepareWriteSingle(Context(), 250, 1)); },
       ExceptionResult(WriteOneException, 2)},
      {"write many",
       [&] {
         return RtuWriteMultipleRegisters(Context(), RtuPrepareWriteMultiple(Context(), 195, values, 10));
       },
       ExceptionResult(WriteManyException, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.run(), c.expected);
    // Five bytes never reach the expected length, so only the budget ends the exchange.
    const int64_t elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 299);
    EXPECT_LT(elapsed, 3300);
  }
}

}  // namespace
}  // namespace varnetik
