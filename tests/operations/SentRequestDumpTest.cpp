// The request dump of every operation shows the bytes the slave received, on both links, also when the
// request goes out a second time.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "serial/RtuLink.h"
#include "serial/RtuOperations.h"
#include "tcp/TcpLink.h"
#include "tcp/TcpOperations.h"
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
  // Entries other than the start-up ones, so that every field of each request carries a typed value.
  void SetUp() override {
    const std::map<ControlId, std::string> entries{
        {ControlId::RtuReadStartField, "4660"},      {ControlId::RtuReadCountField, "3"},
        {ControlId::RtuWriteAddressField, "258"},    {ControlId::RtuWriteValueField, "48879"},
        {ControlId::RtuWriteManyStartField, "7"},    {ControlId::RtuWriteManyValuesField, ValueList(7, 300)},
        {ControlId::TcpReadStartField, "4660"},      {ControlId::TcpReadCountField, "3"},
        {ControlId::TcpWriteAddressField, "258"},    {ControlId::TcpWriteValueField, "48879"},
        {ControlId::TcpWriteManyStartField, "7"},    {ControlId::TcpWriteManyValuesField, ValueList(7, 300)},
        {ControlId::PortCombo, slave.SerialPath()},  {ControlId::TcpPortField, std::to_string(slave.TcpPort())},
    };
    for (const auto& [id, text] : entries) console.texts[id] = text;
    console.spins[ControlId::SlaveIdSpin] = 17;
    console.spins[ControlId::RtuTimeoutSpin] = kShortTimeoutMs;
    console.spins[ControlId::TcpTimeoutSpin] = kShortTimeoutMs;
    rtu.portName = slave.SerialPath();
    tcp.port = slave.TcpPort();
    ASSERT_TRUE(rtu.RtuOpenPort());
    ASSERT_TRUE(tcp.TcpConnect());
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
  RtuLink rtu;
  TcpLink tcp;
  uint8_t slaveId = 1;
  FakeConsole console;
};

// One dump per click. A serial resend repeats the dumped bytes; a TCP repetition is a request of its own
// with the next transaction id, and the dump shows the one sent last.
TEST_P(SentRequestDumpTest, DumpShowsTheBytesReceived) {
  const DumpCase& c = GetParam();
  slave.Script(c.script);
  if (c.rtu != nullptr) {
    c.rtu(rtu, slaveId, console);
  } else {
    c.tcp(tcp, slaveId, console);
  }
  Settle();

  const std::vector<Bytes> requests = slave.Requests();
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
