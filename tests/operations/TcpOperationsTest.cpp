// The three TCP buttons over a real loopback connection against the scriptable slave, observed through
// the recording console: dumps, result lines, boxes, the table, and the reconnect with one repetition.
// The refused entries and the failures reported at once are shared with RTU (BothLinksOperationsTest.cpp).
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <tuple>
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

using Handler = void (*)(TcpLink&, uint8_t, OperatorConsole&);
using Entries = std::map<ControlId, std::string>;
using M = Misbehaviour;

constexpr int64_t kShortTimeoutMs = 200;
const std::string kResyncLine =
    "Hinweis: TCP-Stream neu synchronisieren \u2013 Verbindung wird neu aufgebaut...";
const std::string kTableEvent = "table: " + std::to_string(static_cast<int>(ControlId::TcpResultTable));

class TcpOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    console.texts[ControlId::TcpPortField] = std::to_string(slave.TcpPort());
    console.spins[ControlId::TcpTimeoutSpin] = kShortTimeoutMs;
    link.port = slave.TcpPort();
    ASSERT_EQ(link.TcpConnect(), LinkOpenResult::Opened);
  }

  void Set(const Entries& entries) {
    for (const auto& [id, text] : entries) console.texts[id] = text;
  }

  ScriptableSlave slave;
  TcpLink link;
  FakeConsole console;
};

// The first transaction of a run with the start-up entries against a server holding 10 and 20.
TEST_F(TcpOperationsTest, ReadWorkedExample) {
  slave.SetHolding(0, {10, 20});
  TcpReadClicked(link, 1, console);

  EXPECT_EQ(console.events, (std::vector<std::string>{
                                Log("TX-TCP (12 B): 00 01 00 00 00 06 01 03 00 00 00 02"),
                                Log("RX-TCP (13 B): 00 01 00 00 00 07 01 03 04 00 0A 00 14"),
                                Log("OK: FC03 \u2013 2 Register ab 0x0000 (0)"),
                                kTableEvent + " 2",
                            }));
  EXPECT_EQ(console.tables[ControlId::TcpResultTable],
            (std::vector<ResultRow>{{"0x0000", "0", "$000A", "10"}, {"0x0001", "1", "$0014", "20"}}));
  EXPECT_EQ(console.tables.count(ControlId::RtuResultTable), 0u);
}

struct SuccessCase {
  const char* name;
  Handler handler;
  Entries entries;
  std::vector<std::string> lines;  // the log after the TX-TCP dump; a line "" is the RX-TCP dump
  size_t tableRows;                // 0: no table fill
};
void PrintTo(const SuccessCase& c, std::ostream* os) { *os << c.name; }

class TcpSuccessTest : public TcpOperationsTest, public ::testing::WithParamInterface<SuccessCase> {};

TEST_P(TcpSuccessTest, DumpsResultLineAndTable) {
  const SuccessCase& c = GetParam();
  for (int a = 0; a < 65536; ++a) {
    slave.SetHolding(static_cast<uint16_t>(a), {static_cast<uint16_t>(a ^ 0x5A5A)});
    slave.SetInput(static_cast<uint16_t>(a), {static_cast<uint16_t>(a + 3)});
  }
  Set(c.entries);
  c.handler(link, 1, console);

  const std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  std::vector<std::string> expected{Dump("TX-TCP", requests[0])};
  for (const std::string& line : c.lines) expected.push_back(Log(line));
  if (c.tableRows > 0) expected.push_back(kTableEvent + " " + std::to_string(c.tableRows));
  ASSERT_EQ(console.events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == Log("")) {
      EXPECT_EQ(console.events[i].rfind("log: RX-TCP (", 0), 0u) << console.events[i];
    } else {
      EXPECT_EQ(console.events[i], expected[i]);
    }
  }
  EXPECT_EQ(console.tables[ControlId::TcpResultTable].size(), c.tableRows);
}

const std::string k123Values = ValueList(123);

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpSuccessTest,
    ::testing::Values(
        SuccessCase{"WriteOneExample",
                    TcpWriteOneClicked,
                    {{ControlId::TcpWriteAddressField, "100"}, {ControlId::TcpWriteValueField, "42"}},
                    {"RX-TCP (12 B): 00 01 00 00 00 06 01 06 00 64 00 2A",
                     "OK: FC06 (TCP) \u2013 Reg 0x0064 (100) := $002A (42)"},
                    0},
        SuccessCase{"WriteOneMinusOneWrites65535",
                    TcpWriteOneClicked,
                    {{ControlId::TcpWriteAddressField, "7"}, {ControlId::TcpWriteValueField, "-1"}},
                    {"RX-TCP (12 B): 00 01 00 00 00 06 01 06 00 07 FF FF",
                     "OK: FC06 (TCP) \u2013 Reg 0x0007 (7) := $FFFF (65535)"},
                    0},
        SuccessCase{
            "WriteManyExampleHasNoDetailLines",
            TcpWriteManyClicked,
            {{ControlId::TcpWriteManyStartField, "100"}, {ControlId::TcpWriteManyValuesField, "10,20,30"}},
            {"RX-TCP (12 B): 00 01 00 00 00 06 01 10 00 64 00 03",
             "OK: FC16 (TCP) \u2013 3 Register ab 0x0064 (100)"},
            0},
        SuccessCase{
            "WriteMany123Values",
            TcpWriteManyClicked,
            {{ControlId::TcpWriteManyStartField, "0"}, {ControlId::TcpWriteManyValuesField, k123Values}},
            {"RX-TCP (12 B): 00 01 00 00 00 06 01 10 00 00 00 7B",
             "OK: FC16 (TCP) \u2013 123 Register ab 0x0000 (0)"},
            0},
        SuccessCase{"ReadCountCutTo16Bits",
                    TcpReadClicked,
                    {{ControlId::TcpReadStartField, "0"}, {ControlId::TcpReadCountField, "65661"}},
                    {"", "OK: FC03 \u2013 125 Register ab 0x0000 (0)"},
                    125}), ByName);

TEST_F(TcpOperationsTest, InputTypeAndWrappingAddresses) {
  slave.SetInput(65535, {0x1234, 0xABCD});
  console.selections[ControlId::TcpReadTypeCombo] = 1;
  Set({{ControlId::TcpReadStartField, "65535"}, {ControlId::TcpReadCountField, "2"}});
  TcpReadClicked(link, 1, console);

  EXPECT_EQ(console.log, (std::vector<std::string>{"TX-TCP (12 B): 00 01 00 00 00 06 01 04 FF FF 00 02",
                                                   "RX-TCP (13 B): 00 01 00 00 00 07 01 04 04 12 34 AB CD",
                                                   "OK: FC04 \u2013 2 Register ab 0xFFFF (65535)"}));
  EXPECT_EQ(
      console.tables[ControlId::TcpResultTable],
      (std::vector<ResultRow>{{"0xFFFF", "65535", "$1234", "4660"}, {"0x0000", "0", "$ABCD", "43981"}}));
}

// The unit id is the slave id stored by the last serial action (1 before any); the spin alone changes
// nothing for TCP.
TEST_F(TcpOperationsTest, UnitIdFollowsTheLastSerialAction) {
  RtuLink rtu;
  uint8_t slaveId = 1;
  console.texts[ControlId::PortCombo] = slave.SerialPath();
  rtu.portName = slave.SerialPath();
  ASSERT_TRUE(rtu.RtuOpenPort());

  console.spins[ControlId::SlaveIdSpin] = 5;
  TcpWriteOneClicked(link, slaveId, console);
  RtuReadClicked(rtu, slaveId, console);
  console.spins[ControlId::SlaveIdSpin] = 9;
  TcpWriteOneClicked(link, slaveId, console);

  std::vector<Bytes> requests = slave.WaitForRequests(3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0][6], 1);  // MBAP unit id
  EXPECT_EQ(requests[1][0], 5);  // RTU address
  EXPECT_EQ(requests[2][6], 5);
  EXPECT_EQ(console.log.back(), "OK: FC06 (TCP) \u2013 Reg 0x0000 (0) := $0000 (0)");
  EXPECT_TRUE(console.messages.empty());
}

TEST(TcpNotConnectedTest, EveryButtonShowsOnlyTheHint) {
  for (Handler handler : {TcpReadClicked, TcpWriteOneClicked, TcpWriteManyClicked}) {
    TcpLink link;
    FakeConsole console;
    console.texts[ControlId::TcpHostField] = "localhost";
    console.spins[ControlId::TcpTimeoutSpin] = 300;
    handler(link, 1, console);

    EXPECT_EQ(console.events, (std::vector<std::string>{Box("Hinweis", "Bitte zuerst TCP verbinden.")}));
    EXPECT_EQ(link.host, "127.0.0.1");
    EXPECT_EQ(link.rxTimeoutMs, 1200);
  }
}

struct ResyncFault {
  const char* name;
  Reply reply;
};
void PrintTo(const ResyncFault& c, std::ostream* os) { *os << c.name; }

struct ResyncHandler {
  const char* name;
  Handler handler;
  const char* retryLine;
  const char* okLine;
};
void PrintTo(const ResyncHandler& c, std::ostream* os) { *os << c.name; }

class TcpResyncTest : public TcpOperationsTest,
                      public ::testing::WithParamInterface<std::tuple<ResyncFault, ResyncHandler>> {};

// A stream out of step: hint, reconnect, retry line, the repeated request (transaction id one higher)
// and its outcome; the status bar is not refreshed.
TEST_P(TcpResyncTest, ReconnectsAndRepeatsOnce) {
  const auto& [fault, handler] = GetParam();
  slave.SetHolding(0, {10, 20});
  Set({{ControlId::TcpWriteManyStartField, "0"}, {ControlId::TcpWriteManyValuesField, "10,20"}});
  slave.Script({fault.reply});
  handler.handler(link, 1, console);

  std::vector<Bytes> requests = slave.WaitForRequests(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(TransactionIdOf(requests[0]), 1);
  EXPECT_EQ(TransactionIdOf(requests[1]), 2);
  EXPECT_EQ(Bytes(requests[1].begin() + 2, requests[1].end()),
            Bytes(requests[0].begin() + 2, requests[0].end()));

  ASSERT_GE(console.events.size(), 5u);
  EXPECT_EQ(console.events[0], Log(kResyncLine));
  EXPECT_EQ(console.events[1], Log(handler.retryLine));
  EXPECT_EQ(console.events[2], Dump("TX-TCP", requests[1]));
  EXPECT_EQ(console.events[3].rfind("log: RX-TCP (", 0), 0u) << console.events[3];
  std::string rx = console.events[3];
  EXPECT_EQ(rx.substr(rx.find("): ") + 3, 5), "00 02") << rx;  // the answer to the repeated request
  EXPECT_EQ(console.events[4], Log(handler.okLine));
  EXPECT_EQ(console.statusRefreshes, 0);
  EXPECT_TRUE(link.IsConnected());
  EXPECT_EQ(slave.ConnectionsAccepted(), 2);
}

const ResyncFault kResyncFaults[] = {
    {"Silent", {M::Silent}},
    {"LateAnswer", {M::None, 0, 3 * kShortTimeoutMs}},
    {"TruncatedFrame", {M::TruncatedFrame}},
    {"ClosedByServer", {M::Close}},
    {"ResetByServer", {M::Reset}},
    {"TwoForeignTransactionIds", {M::WrongTransactionId, 0, 0, 1, 0, 2}},
    {"ExceptionCode7", {M::Exception, 7}},
    {"TwoForeignUnitIds", {M::WrongUnitId, 0, 0, 1, 0, 2}},
};

const ResyncHandler kResyncHandlers[] = {
    {"Read", TcpReadClicked, "TCP erneut verbunden. Erneuter Leseversuch...",
     "OK: FC03 \u2013 2 Register ab 0x0000 (0)"},
    {"WriteOne", TcpWriteOneClicked, "TCP erneut verbunden. Erneuter Schreibversuch (FC06)...",
     "OK: FC06 (TCP) \u2013 Reg 0x0000 (0) := $0000 (0)"},
    {"WriteMany", TcpWriteManyClicked, "TCP erneut verbunden. Erneuter Schreibversuch (FC16)...",
     "OK: FC16 (TCP) \u2013 2 Register ab 0x0000 (0)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TcpResyncTest,
                         ::testing::Combine(::testing::ValuesIn(kResyncFaults),
                                            ::testing::ValuesIn(kResyncHandlers)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

struct BadHeaderFault {
  const char* name;
  Reply reply;
  const char* message;
};
void PrintTo(const BadHeaderFault& c, std::ostream* os) { *os << c.name; }

struct InStepOperation {
  const char* name;
  Handler handler;
  Entries entries;
  const char* okLine;
};
void PrintTo(const InStepOperation& c, std::ostream* os) { *os << c.name; }

class TcpBadHeaderTest
    : public TcpOperationsTest,
      public ::testing::WithParamInterface<std::tuple<BadHeaderFault, InStepOperation>> {};

// A response with an unusable header is reported without a reconnect, and what is left of it is dropped:
// on the same connection the very next click reads the answer to its own request.
TEST_P(TcpBadHeaderTest, NextClickOnTheSameConnectionSucceeds) {
  const auto& [fault, operation] = GetParam();
  Set(operation.entries);
  slave.Script({fault.reply});
  operation.handler(link, 1, console);

  std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(console.events,
            (std::vector<std::string>{Dump("TX-TCP", requests[0]),
                                      Log(std::string("! ") + fault.message), Box("Fehler", fault.message)}));

  console.events.clear();
  operation.handler(link, 1, console);
  requests = slave.WaitForRequests(2);
  ASSERT_EQ(requests.size(), 2u);
  ASSERT_GE(console.events.size(), 3u);
  EXPECT_EQ(console.events[0], Dump("TX-TCP", requests[1]));
  const std::string& rx = console.events[1];
  EXPECT_EQ(rx.rfind("log: RX-TCP (", 0), 0u) << rx;
  EXPECT_EQ(rx.substr(rx.find("): ") + 3, 5), "00 02") << rx;
  EXPECT_EQ(console.events[2], Log(operation.okLine));
  EXPECT_EQ(slave.ConnectionsAccepted(), 1);
}

const BadHeaderFault kBadHeaderFaults[] = {
    {"ProtocolIdOne", {M::ProtocolIdOne}, "TCP: ProtocolID ungleich 0."},
    {"MbapLength0", {.kind = M::MbapLength, .mbapLength = 0}, "TCP: MBAP-Länge unplausibel."},
    {"MbapLength515", {.kind = M::MbapLength, .mbapLength = 515}, "TCP: MBAP-Länge unplausibel."},
    {"MbapLengthFFFF", {.kind = M::MbapLength, .mbapLength = 0xFFFF}, "TCP: MBAP-Länge unplausibel."},
};

const InStepOperation kInStepOperations[] = {
    {"Read2",
     TcpReadClicked,
     {{ControlId::TcpReadStartField, "0"}, {ControlId::TcpReadCountField, "2"}},
     "OK: FC03 \u2013 2 Register ab 0x0000 (0)"},
    {"Read10",
     TcpReadClicked,
     {{ControlId::TcpReadStartField, "0"}, {ControlId::TcpReadCountField, "10"}},
     "OK: FC03 \u2013 10 Register ab 0x0000 (0)"},
    {"Read125",
     TcpReadClicked,
     {{ControlId::TcpReadStartField, "0"}, {ControlId::TcpReadCountField, "125"}},
     "OK: FC03 \u2013 125 Register ab 0x0000 (0)"},
    {"WriteOne",
     TcpWriteOneClicked,
     {{ControlId::TcpWriteAddressField, "5"}, {ControlId::TcpWriteValueField, "7"}},
     "OK: FC06 (TCP) \u2013 Reg 0x0005 (5) := $0007 (7)"},
    {"WriteMany",
     TcpWriteManyClicked,
     {{ControlId::TcpWriteManyStartField, "0"}, {ControlId::TcpWriteManyValuesField, "10,20"}},
     "OK: FC16 (TCP) \u2013 2 Register ab 0x0000 (0)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TcpBadHeaderTest,
                         ::testing::Combine(::testing::ValuesIn(kBadHeaderFaults),
                                            ::testing::ValuesIn(kInStepOperations)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

struct NamedHandler {
  const char* name;
  Handler handler;
};
void PrintTo(const NamedHandler& c, std::ostream* os) { *os << c.name; }

class TcpSendFailureTest : public TcpOperationsTest, public ::testing::WithParamInterface<NamedHandler> {};

// A connection the server has reset fails at the send: reported at once, the id is used up.
TEST_P(TcpSendFailureTest, ReportedAtOnceWithoutReconnect) {
  slave.ResetConnections();
  Settle();
  GetParam().handler(link, 1, console);

  ASSERT_EQ(console.events.size(), 3u);
  EXPECT_EQ(console.events[0].rfind("log: TX-TCP (", 0), 0u);
  EXPECT_NE(console.events[0].find("): 00 01 00 00 00 "), std::string::npos) << console.events[0];
  EXPECT_EQ(console.events[1], Log("! TCP: Senden fehlgeschlagen."));
  EXPECT_EQ(console.events[2], Box("Fehler", "TCP: Senden fehlgeschlagen."));
  EXPECT_EQ(link.transactionId, 1);
  EXPECT_EQ(slave.ConnectionsAccepted(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TcpSendFailureTest,
                         ::testing::Values(NamedHandler{"Read", TcpReadClicked},
                                           NamedHandler{"WriteOne", TcpWriteOneClicked},
                                           NamedHandler{"WriteMany", TcpWriteManyClicked}), ByName);

// The server that never answers: after two timeouts the repeated request (id 2) is dumped and reported.
TEST_F(TcpOperationsTest, ServerThatNeverAnswers) {
  slave.Script({{M::Silent}, {M::Silent}});
  Stopwatch watch;
  TcpReadClicked(link, 1, console);
  int64_t elapsed = watch.ElapsedMs();

  EXPECT_EQ(console.events, (std::vector<std::string>{
                                Log(kResyncLine),
                                Log("TCP erneut verbunden. Erneuter Leseversuch..."),
                                Log("TX-TCP (12 B): 00 02 00 00 00 06 01 03 00 00 00 02"),
                                Log("! TCP: Timeout / Antwort zu kurz."),
                                Box("Fehler", "TCP: Timeout / Antwort zu kurz."),
                            }));
  EXPECT_GE(elapsed, 2 * kShortTimeoutMs - 50);
  EXPECT_LT(elapsed, 6000);
  EXPECT_TRUE(link.IsConnected());

  // The ids go on from there.
  console.events.clear();
  TcpReadClicked(link, 1, console);
  EXPECT_EQ(console.events.front(), Log("TX-TCP (12 B): 00 03 00 00 00 06 01 03 00 00 00 02"));
}

struct GoneCase {
  const char* name;
  Reply reply;
  const char* message;
};
void PrintTo(const GoneCase& c, std::ostream* os) { *os << c.name; }

class TcpServerGoneTest : public TcpOperationsTest, public ::testing::WithParamInterface<GoneCase> {};

// The reconnect fails: no retry line, the first failure stands, the link is down for the next click,
// and the status bar is left alone.
TEST_P(TcpServerGoneTest, FailedReconnectLeavesTheLinkDown) {
  const GoneCase& c = GetParam();
  slave.StopListening();
  slave.Script({c.reply});
  TcpReadClicked(link, 1, console);

  const std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(console.events,
            (std::vector<std::string>{Log(kResyncLine), Dump("TX-TCP", requests[0]),
                                      Log(std::string("! ") + c.message), Box("Fehler", c.message)}));
  EXPECT_FALSE(link.IsConnected());

  for (Handler handler : {TcpReadClicked, TcpWriteOneClicked, TcpWriteManyClicked}) {
    console.events.clear();
    handler(link, 1, console);
    EXPECT_EQ(console.events, (std::vector<std::string>{Box("Hinweis", "Bitte zuerst TCP verbinden.")}));
  }
  EXPECT_EQ(console.statusRefreshes, 0);
  EXPECT_EQ(slave.Requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, TcpServerGoneTest,
                         ::testing::Values(GoneCase{"Reset", {M::Reset}, "TCP: Verbindung abgebrochen."},
                                           GoneCase{"Silent", {M::Silent}, "TCP: Timeout / Antwort zu kurz."}),
                         ByName);

// A late answer to an earlier request is skipped and the right one taken, without a reconnect.
TEST_F(TcpOperationsTest, StaleAnswerBeforeTheRightOneIsSkipped) {
  slave.SetHolding(0, {10, 20});
  slave.Script({{M::StaleAnswerFirst}});
  TcpReadClicked(link, 1, console);
  EXPECT_EQ(console.log, (std::vector<std::string>{"TX-TCP (12 B): 00 01 00 00 00 06 01 03 00 00 00 02",
                                                   "RX-TCP (13 B): 00 01 00 00 00 07 01 03 04 00 0A 00 14",
                                                   "OK: FC03 \u2013 2 Register ab 0x0000 (0)"}));
}

TEST_F(TcpOperationsTest, AnswerInPiecesWithPausesIsCollected) {
  console.spins[ControlId::TcpTimeoutSpin] = 1200;
  slave.Script({{M::None, 0, 0, 4, 30}});
  TcpWriteManyClicked(link, 1, console);
  EXPECT_EQ(console.log.back(), "OK: FC16 (TCP) \u2013 3 Register ab 0x0000 (0)");
  EXPECT_EQ(console.log.size(), 3u);
}

// The reconnect goes to the host and port in the fields at the time of the click.
TEST_F(TcpOperationsTest, ReconnectUsesTheFieldsOfThisClick) {
  ScriptableSlave other;
  other.SetHolding(0, {7, 8});
  console.texts[ControlId::TcpPortField] = std::to_string(other.TcpPort());
  slave.Script({{M::Silent}});
  TcpReadClicked(link, 1, console);

  EXPECT_EQ(slave.WaitForRequests(1).size(), 1u);
  EXPECT_EQ(other.WaitForRequests(1).size(), 1u);
  EXPECT_EQ(console.tables[ControlId::TcpResultTable],
            (std::vector<ResultRow>{{"0x0000", "0", "$0007", "7"}, {"0x0001", "1", "$0008", "8"}}));
}

}  // namespace
}  // namespace varnetik::testing
