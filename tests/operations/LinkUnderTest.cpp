#include "tests/operations/LinkUnderTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/RtuLink.h"
#include "serial/RtuOperations.h"
#include "tcp/TcpLink.h"
#include "tcp/TcpOperations.h"

namespace varnetik::testing {
namespace {

class RtuUnderTest : public LinkUnderTest {
 public:
  bool Open(const ScriptableSlave& slave, FakeConsole& console) override {
    console.texts[ControlId::PortCombo] = slave.SerialPath();
    link_.portName = slave.SerialPath();
    return static_cast<bool>(link_.RtuOpenPort());
  }

  void Click(Operation operation, FakeConsole& console) override {
    using Handler = void (*)(RtuLink&, uint8_t&, OperatorConsole&);
    static constexpr Handler kHandlers[] = {RtuReadClicked, RtuWriteOneClicked, RtuWriteManyClicked};
    kHandlers[static_cast<int>(operation)](link_, slaveId_, console);
  }

  void FillSettingsTakenFirst(FakeConsole& console) override { console.spins[ControlId::SlaveIdSpin] = 5; }
  void ExpectSettingsTaken() const override { EXPECT_EQ(slaveId_, 5); }
  void ExpectConnectionKept(const ScriptableSlave&) const override {}

 private:
  RtuLink link_;
  uint8_t slaveId_ = 1;
};

class TcpUnderTest : public LinkUnderTest {
 public:
  bool Open(const ScriptableSlave& slave, FakeConsole& console) override {
    console.texts[ControlId::TcpPortField] = std::to_string(slave.TcpPort());
    link_.port = slave.TcpPort();
    return link_.TcpConnect();
  }

  void Click(Operation operation, FakeConsole& console) override {
    using Handler = void (*)(TcpLink&, uint8_t, OperatorConsole&);
    static constexpr Handler kHandlers[] = {TcpReadClicked, TcpWriteOneClicked, TcpWriteManyClicked};
    kHandlers[static_cast<int>(operation)](link_, 1, console);
  }

  void FillSettingsTakenFirst(FakeConsole& console) override { console.spins[ControlId::TcpTimeoutSpin] = 345; }
  void ExpectSettingsTaken() const override {
    EXPECT_EQ(link_.rxTimeoutMs, 345);
    EXPECT_EQ(link_.transactionId, 0);  // no request was made
  }
  void ExpectConnectionKept(const ScriptableSlave& slave) const override {
    EXPECT_TRUE(link_.IsConnected());
    EXPECT_EQ(slave.ConnectionsAccepted(), 1);
  }

 private:
  TcpLink link_;
};

}  // namespace

const LinkKind kRtuLink{"Rtu",
                        "TX",
                        ControlId::RtuReadCountField,
                        ControlId::RtuWriteManyValuesField,
                        ControlId::RtuTimeoutSpin,
                        ControlId::RtuResultTable,
                        []() -> std::unique_ptr<LinkUnderTest> { return std::make_unique<RtuUnderTest>(); }};

const LinkKind kTcpLink{"Tcp",
                        "TX-TCP",
                        ControlId::TcpReadCountField,
                        ControlId::TcpWriteManyValuesField,
                        ControlId::TcpTimeoutSpin,
                        ControlId::TcpResultTable,
                        []() -> std::unique_ptr<LinkUnderTest> { return std::make_unique<TcpUnderTest>(); }};

}  // namespace varnetik::testing
