// Our TCP transactions through the real TcpLink against libmodbus as the slave.
#include <gtest/gtest.h>

#include <vector>

#include "modbus/TcpTransactions.h"
#include "tcp/TcpLink.h"
#include "tests/support/LibmodbusSlave.h"

namespace varnetik {
namespace {

using testing::LibmodbusSlave;

constexpr int kRegisters = 200;

class TcpLibmodbusInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint16_t> holding;
    std::vector<uint16_t> input;
    for (int i = 0; i < kRegisters; ++i) {
      holding.push_back(static_cast<uint16_t>(0x1000 + i));
      input.push_back(static_cast<uint16_t>(0x2000 + i));
    }
    slave.SetHolding(0, holding);
    slave.SetInput(0, input);
    link.port = slave.TcpPort();
    ASSERT_EQ(link.TcpConnect(), LinkOpenResult::Opened);
  }

  // Declared first: outlives the link's connection.
  LibmodbusSlave slave{LibmodbusSlave::Link::Tcp, 1, kRegisters};
  TcpLink link;
  TcpTransactionContext context = link.TransactionContext(1);
  std::vector<uint16_t> registers;
};

TEST_F(TcpLibmodbusInteropTest, ReadsOneHoldingAnd125InputRegisters) {
  ASSERT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, 7, 1), registers),
            ResultCode::Success(1));
  EXPECT_EQ(registers, std::vector<uint16_t>{0x1007});

  ASSERT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x04, 0, 125), registers),
            ResultCode::Success(125));
  for (uint16_t i = 0; i < 125; ++i) EXPECT_EQ(registers[i], 0x2000 + i) << i;
  EXPECT_EQ(link.transactionId, 2);
}

TEST_F(TcpLibmodbusInteropTest, WritesOneRegisterAnd123Registers) {
  EXPECT_EQ(TcpWriteSingleRegister(context, TcpPrepareWriteSingle(context, 10, 0xBEEF)),
            ResultCode::Success(1));
  EXPECT_EQ(slave.Holding(10, 1)[0], 0xBEEF);

  std::vector<uint16_t> values(123);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(0xA000 + 3 * i);
  EXPECT_EQ(TcpWriteMultipleRegisters(context, TcpPrepareWriteMultiple(context, 50, values, 123)),
            ResultCode::Success(123));
  EXPECT_EQ(slave.Holding(50, 123), values);
  EXPECT_EQ(slave.Holding(49, 1)[0], 0x1000 + 49);
  EXPECT_EQ(slave.Holding(173, 1)[0], 0x1000 + 173);
}

TEST_F(TcpLibmodbusInteropTest, AddressesOutsideTheSlaveGiveTheIllegalAddressException) {
  const int beyond = kRegisters - 5;
  EXPECT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, beyond, 10), registers),
            ExceptionResult(ReadException, 2));
  EXPECT_EQ(TcpWriteSingleRegister(context, TcpPrepareWriteSingle(context, 0xFFFF, 1)),
            ExceptionResult(WriteOneException, 2));
  EXPECT_EQ(TcpWriteMultipleRegisters(
                context, TcpPrepareWriteMultiple(context, beyond, std::vector<uint16_t>(10), 10)),
            ExceptionResult(WriteManyException, 2));
  // The connection stays usable after the exceptions.
  EXPECT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, 0, 2), registers),
            ResultCode::Success(2));
}

}  // namespace
}  // namespace varnetik
