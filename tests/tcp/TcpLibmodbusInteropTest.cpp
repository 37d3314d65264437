// Our TCP transactions through the real TcpLink against libmodbus as the slave.
#include <gtest/gtest.h>

#include <vector>

#include "modbus/TcpTransactions.h"
#include "tcp/TcpLink.h"
#include "tests/tcp/LibmodbusTcpSlave.h"

namespace varnetik {
namespace {

class TcpLibmodbusInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link.port = slave.Port();
    ASSERT_TRUE(link.TcpConnect());
  }

  testing::LibmodbusTcpSlave slave;  // declared first: outlives the link's connection
  TcpLink link;
  std::vector<uint16_t> registers;
};

TEST_F(TcpLibmodbusInteropTest, ReadsOneHoldingAnd125InputRegisters) {
  ASSERT_EQ(TcpReadRegisters(link.TransactionContext(1), 0x03, 7, 1, registers), 1);
  EXPECT_EQ(registers, std::vector<uint16_t>{0x1007});

  ASSERT_EQ(TcpReadRegisters(link.TransactionContext(1), 0x04, 0, 125, registers), 125);
  for (uint16_t i = 0; i < 125; ++i) EXPECT_EQ(registers[i], 0x2000 + i) << i;
  EXPECT_EQ(link.transactionId, 2);
}

TEST_F(TcpLibmodbusInteropTest, WritesOneRegisterAnd123Registers) {
  EXPECT_EQ(TcpWriteSingleRegister(link.TransactionContext(1), 10, 0xBEEF), 1);
  EXPECT_EQ(slave.HoldingRegister(10), 0xBEEF);

  std::vector<uint16_t> values(123);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(0xA000 + 3 * i);
  EXPECT_EQ(TcpWriteMultipleRegisters(link.TransactionContext(1), 50, values, 123), 123);
  for (int i = 0; i < 123; ++i) EXPECT_EQ(slave.HoldingRegister(50 + i), values[i]) << i;
  EXPECT_EQ(slave.HoldingRegister(49), 0x1000 + 49);
  EXPECT_EQ(slave.HoldingRegister(173), 0x1000 + 173);
}

TEST_F(TcpLibmodbusInteropTest, AddressesOutsideTheSlaveGiveTheIllegalAddressException) {
  const int beyond = testing::LibmodbusTcpSlave::kRegisters - 5;
  EXPECT_EQ(TcpReadRegisters(link.TransactionContext(1), 0x03, beyond, 10, registers), ReadException - 2);
  EXPECT_EQ(TcpWriteSingleRegister(link.TransactionContext(1), 0xFFFF, 1), WriteOneException - 2);
  EXPECT_EQ(TcpWriteMultipleRegisters(link.TransactionContext(1), beyond, std::vector<uint16_t>(10), 10),
            WriteManyException - 2);
  // The connection stays usable after the exceptions.
  EXPECT_EQ(TcpReadRegisters(link.TransactionContext(1), 0x03, 0, 2, registers), 2);
}

}  // namespace
}  // namespace varnetik
