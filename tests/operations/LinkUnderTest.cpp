#include "tests/operations/LinkUnderTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "operator/LinkOperations.h"
#include "operator/RtuSide.h"
#include "operator/TcpSide.h"
#include "serial/RtuLink.h"
#include "tcp/TcpLink.h"

namespace varnetik::testing {
namespace {

// Both links are clicked through the one set of handlers, each through its side of the window.
void ClickOn(LinkSide& side, Operation operation, FakeConsole& console) {
  using Handler = void (*)(LinkSide&, OperatorConsole&);
  static constexpr Handler kHandlers[] = {ReadClicked, WriteOneClicked, WriteManyClicked};
  kHandlers[static_cast<int>(operation)](side, console);
}

class RtuUnderTest : public LinkUnderTest {
 public:
  bool Open(const ScriptableSlave& slave, FakeConsole& console) override {
    console.texts[ControlId::PortCombo] = slave.SerialPath();
    link_.portName = slave.SerialPath();
    return link_.Open() == LinkOpenResult::Opened;
  }

  void Click(Operation operation, FakeConsole& console) override {
    RtuSide side(link_, slaveId_);
    ClickOn(side, operation, console);
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
    return link_.Open() == LinkOpenResult::Opened;
  }

  void Click(Operation operation, FakeConsole& console) override {
    TcpSide side(link_, kUnitId);
    ClickOn(side, operation, console);
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
  static constexpr uint8_t kUnitId = 1;  // what the serial side holds at start-up
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
