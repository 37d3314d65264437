// The request dump of every operation shows the bytes the slave received, on both links, also when the
// request goes out a second time.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "operator/RtuSide.h"
#include "operator/TcpSide.h"
#include "serial/RtuLink.h"
#include "tcp/TcpLink.h"
#include "tests/operations/OperationTestSupport.h"
#include "tests/support/FakeConsole.h"
#include "tests/support/ScriptableSlave.h"

namespace varnetik::testing {
namespace {

using RtuHandler = void (*)(RtuLink&, uint8_t&, OperatorConsole&);
using TcpHandler = void (*)(TcpLink&, uint8_t, OperatorConsole&);
using M = Misbehaviour;

constexpr int64_t kShortTimeoutMs = 200;

struct DumpCase {
  const char* name;
  RtuHandler rtu;  // one of the two handlers is set
  TcpHandler tcp;
  std::vector<Reply> script;
  size_t requests;  // sent in the one click
};
void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.name; }

class SentRequestDumpTest : public ::testing::TestWithParam<DumpCase> {
 protected:
  // Entries other than the start-up ones, the same on both links, so that every field of each request
  // carries a typed value.
  void SetUp() override {
    const struct {
      ControlId rtu;
      ControlId tcp;
      std::string text;
    } entries[] = {
        {ControlId::RtuReadStartField, ControlId::TcpReadStartField, "4660"},
        {ControlId::RtuReadCountField, ControlId::TcpReadCountField, "3"},
        {ControlId::RtuWriteAddressField, ControlId::TcpWriteAddressField, "258"},
        {ControlId::RtuWriteValueField, ControlId::TcpWriteValueField, "48879"},
        {ControlId::RtuWriteManyStartField, ControlId::TcpWriteManyStartField, "7"},
        {ControlId::RtuWriteManyValuesField, ControlId::TcpWriteManyValuesField, ValueList(7, 300)},
    };
    for (const auto& entry : entries) console.texts[entry.rtu] = console.texts[entry.tcp] = entry.text;
    console.texts[ControlId::PortCombo] = slave.SerialPath();
    console.texts[ControlId::TcpPortField] = std::to_string(slave.TcpPort());
    console.spins[ControlId::SlaveIdSpin] = 17;
    console.spins[ControlId::RtuTimeoutSpin] = kShortTimeoutMs;
    console.spins[ControlId::TcpTimeoutSpin] = kShortTimeoutMs;
  }

  // Opens the row's link and clicks its button.
  void Click(const DumpCase& c) {
    uint8_t slaveId = 1;
    if (c.rtu != nullptr) {
      RtuLink link;
      link.portName = slave.SerialPath();
      ASSERT_TRUE(link.RtuOpenPort());
      c.rtu(link, slaveId, console);
    } else {
      TcpLink link;
      link.port = slave.TcpPort();
      ASSERT_EQ(link.TcpConnect(), LinkOpenResult::Opened);
      c.tcp(link, slaveId, console);
    }
  }

  // The log lines that dump a request.
  std::vector<std::string> RequestDumps() const {
    std::vector<std::string> dumps;
    for (const std::string& event : console.events) {
      if (event.rfind("log: TX", 0) == 0) dumps.push_back(event);
    }
    return dumps;
  }

  ScriptableSlave slave;
  FakeConsole console;
};

// One dump per click. A serial resend repeats the dumped bytes; a TCP repetition is a request of its own
// with the next transaction id, and the dump shows the one sent last.
TEST_P(SentRequestDumpTest, DumpShowsTheBytesReceived) {
  const DumpCase& c = GetParam();
  slave.Script(c.script);
  Click(c);
  Settle();

  const std::vector<Bytes> requests = slave.WaitForRequests(c.requests);
  ASSERT_EQ(requests.size(), c.requests);
  const std::vector<std::string> dumps = RequestDumps();
  ASSERT_EQ(dumps.size(), 1u);
  if (c.rtu != nullptr) {
    for (const Bytes& request : requests) EXPECT_EQ(dumps[0], Dump("TX", request));
  } else {
    EXPECT_EQ(dumps[0], Dump("TX-TCP", requests.back()));
    EXPECT_EQ(TransactionIdOf(requests.back()), c.requests);
  }
  EXPECT_TRUE(console.messages.empty());  // the click ended in success
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SentRequestDumpTest,
    ::testing::Values(DumpCase{"RtuRead", RtuReadClicked, nullptr, {}, 1},
                      DumpCase{"RtuWriteOne", RtuWriteOneClicked, nullptr, {}, 1},
                      DumpCase{"RtuWriteMany", RtuWriteManyClicked, nullptr, {}, 1},
                      DumpCase{"RtuWriteManyResent", RtuWriteManyClicked, nullptr, {{M::Exception, 7}}, 2},
                      DumpCase{"TcpRead", nullptr, TcpReadClicked, {}, 1},
                      DumpCase{"TcpWriteOne", nullptr, TcpWriteOneClicked, {}, 1},
                      DumpCase{"TcpWriteMany", nullptr, TcpWriteManyClicked, {}, 1},
                      DumpCase{"TcpReadRepeated", nullptr, TcpReadClicked, {{M::Silent}}, 2},
                      DumpCase{"TcpWriteOneRepeated", nullptr, TcpWriteOneClicked, {{M::Exception, 7}}, 2},
                      DumpCase{"TcpWriteManyRepeated", nullptr, TcpWriteManyClicked, {{M::Silent}}, 2}),
    ByName);

}  // namespace
}  // namespace varnetik::testing
