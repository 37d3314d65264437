// Our TCP transactions through the real TcpLink against varnetik-slave running as a program of its own,
// which the Windows test script starts under Wine and names in VARNETIK_SLAVE_TCP_PORT (on 127.0.0.1).
// The slave's frame code is independent of ours, so this checks both Windows builds against each other.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "modbus/TcpTransactions.h"
#include "tcp/TcpLink.h"

namespace varnetik {
namespace {

class TcpSlaveProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("VARNETIK_SLAVE_TCP_PORT");
    if (port == nullptr) GTEST_SKIP() << "VARNETIK_SLAVE_TCP_PORT names no running varnetik-slave";
    link.port = std::atoi(port);
    ASSERT_EQ(link.TcpConnect(), LinkOpenResult::Opened);
  }

  TcpLink link;
  TcpTransactionContext context = link.TransactionContext(1);
  std::vector<uint16_t> registers;
};

TEST_F(TcpSlaveProgramTest, WrittenRegistersReadBack) {
  ASSERT_EQ(TcpWriteSingleRegister(context, TcpPrepareWriteSingle(context, 10, 0xBEEF)),
            ResultCode::Success(1));
  std::vector<uint16_t> values(123);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(0xA000 + 3 * i);
  ASSERT_EQ(TcpWriteMultipleRegisters(context, TcpPrepareWriteMultiple(context, 1000, values, 123)),
            ResultCode::Success(123));

  ASSERT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, 10, 1), registers),
            ResultCode::Success(1));
  EXPECT_EQ(registers[0], 0xBEEF);
  ASSERT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, 1000, 123), registers),
            ResultCode::Success(123));
  EXPECT_EQ(registers, values);
  // Input register 1 ramps from 0 to 99.
  ASSERT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x04, 0, 2), registers),
            ResultCode::Success(2));
  EXPECT_LT(registers[1], 100);
}

TEST_F(TcpSlaveProgramTest, BlockPastTheLastAddressGetsTheIllegalAddressExceptionOnAnOpenConnection) {
  EXPECT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, 65530, 10), registers),
            ExceptionResult(ReadException, 2));
  // A second client is served beside the first.
  TcpLink other;
  other.port = link.port;
  ASSERT_EQ(other.TcpConnect(), LinkOpenResult::Opened);
  TcpTransactionContext otherContext = other.TransactionContext(1);
  EXPECT_EQ(TcpReadRegisters(otherContext, TcpPrepareRead(otherContext, 0x04, 0, 125), registers),
            ResultCode::Success(125));
  EXPECT_EQ(TcpReadRegisters(context, TcpPrepareRead(context, 0x03, 0, 2), registers),
            ResultCode::Success(2));
}

}  // namespace
}  // namespace varnetik
