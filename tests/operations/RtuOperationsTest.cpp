// The three RTU buttons over a real serial link (a pseudo-terminal) against the scriptable slave,
// observed through the recording console: every log line, box and table fill in order. The refused
// entries and the failures reported at once are shared with TCP (BothLinksOperationsTest.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "operator/RtuSide.h"
#include "serial/RtuLink.h"
#include "tests/operations/OperationTestSupport.h"
#include "tests/support/FakeConsole.h"
#include "tests/support/ScriptableSlave.h"

namespace varnetik::testing {
namespace {

using Handler = void (*)(RtuLink&, uint8_t&, OperatorConsole&);
using Entries = std::map<ControlId, std::string>;

constexpr int64_t kShortTimeoutMs = 200;
const std::string kResyncLine =
    "Hinweis: RTU-Stream neu synchronisieren \u2013 RX spülen & einmal erneut senden...";
const std::string kTableEvent = "table: " + std::to_string(static_cast<int>(ControlId::RtuResultTable));

uint16_t HoldingValue(uint16_t address) { return static_cast<uint16_t>(0x1000 + address * 7); }
uint16_t InputValue(uint16_t address) { return static_cast<uint16_t>(0x8000 + address); }

ResultRow Row(uint16_t address, uint16_t value) {
  char addressHex[8];
  char valueHex[8];
  std::snprintf(addressHex, sizeof addressHex, "0x%04X", address);
  std::snprintf(valueHex, sizeof valueHex, "$%04X", value);
  return {addressHex, std::to_string(address), valueHex, std::to_string(value)};
}

class RtuOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint16_t> holding;
    std::vector<uint16_t> input;
    for (int a = 0; a < 65536; ++a) {
      holding.push_back(HoldingValue(static_cast<uint16_t>(a)));
      input.push_back(InputValue(static_cast<uint16_t>(a)));
    }
    slave.SetHolding(0, holding);
    slave.SetInput(0, input);
    console.texts[ControlId::PortCombo] = slave.SerialPath();
    link.portName = slave.SerialPath();
    ASSERT_TRUE(link.RtuOpenPort());
  }

  void Set(const Entries& entries) {
    for (const auto& [id, text] : entries) console.texts[id] = text;
  }

  ScriptableSlave slave;
  RtuLink link;
  uint8_t slaveId = 1;
  FakeConsole console;
};

// The worked example of a complete write of 10, 20, 30 to address 100: four lines, word for word.
TEST_F(RtuOperationsTest, WriteManyWorkedExample) {
  Set({{ControlId::RtuWriteManyStartField, "100"}, {ControlId::RtuWriteManyValuesField, "10,20,30"}});
  RtuWriteManyClicked(link, slaveId, console);

  EXPECT_EQ(console.events, (std::vector<std::string>{
                                Log("TX (15 B): 01 10 00 64 00 03 06 00 0A 00 14 00 1E FC E6"),
                                Log("RX (8 B): 01 10 00 64 00 03 C1 D7"),
                                Log("OK: FC16 \u2013 3 Register ab 0x0064 (100)"),
                                Log("    0x0064 (100) = $000A (10), 0x0065 (101) = $0014 (20), "
                                    "0x0066 (102) = $001E (30)"),
                            }));
  EXPECT_EQ(slave.Holding(100, 3), (std::vector<uint16_t>{10, 20, 30}));
  const std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(Dump("TX", requests[0]), console.events[0]);
}

TEST_F(RtuOperationsTest, ReadWorkedFrames) {
  slave.SetHolding(0, {1, 2});
  RtuReadClicked(link, slaveId, console);  // start-up entries: holding, start 0, count 2

  EXPECT_EQ(console.events, (std::vector<std::string>{
                                Log("TX (8 B): 01 03 00 00 00 02 C4 0B"),
                                Log("RX (9 B): 01 03 04 00 01 00 02 2A 32"),
                                Log("OK: FC03 \u2013 2 Register ab 0x0000 (0)"),
                                kTableEvent + " 2",
                            }));
  EXPECT_EQ(console.tables[ControlId::RtuResultTable],
            (std::vector<ResultRow>{{"0x0000", "0", "$0001", "1"}, {"0x0001", "1", "$0002", "2"}}));
}

TEST_F(RtuOperationsTest, WriteOneWorkedFrameAndOkLine) {
  Set({{ControlId::RtuWriteAddressField, "1"}, {ControlId::RtuWriteValueField, "3"}});
  RtuWriteOneClicked(link, slaveId, console);
  Set({{ControlId::RtuWriteAddressField, "16"}, {ControlId::RtuWriteValueField, "255"}});
  RtuWriteOneClicked(link, slaveId, console);

  ASSERT_EQ(console.events.size(), 6u);
  EXPECT_EQ(console.events[0], Log("TX (8 B): 01 06 00 01 00 03 98 0B"));
  EXPECT_EQ(console.events[1], Log("RX (8 B): 01 06 00 01 00 03 98 0B"));
  EXPECT_EQ(console.events[2], Log("OK: FC06 \u2013 Reg 0x0001 (1) := $0003 (3)"));
  EXPECT_EQ(console.events[5], Log("OK: FC06 \u2013 Reg 0x0010 (16) := $00FF (255)"));
  EXPECT_EQ(slave.Holding(16, 1), (std::vector<uint16_t>{255}));
}

struct ReadCase {
  const char* name;
  int type;  // entry of RtuReadTypeCombo
  const char* start;
  const char* count;
  const char* tx;  // the request as sent, when it is worth spelling out
  uint16_t firstAddress;
  uint16_t rows;
  const char* okLine;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class RtuReadTest : public RtuOperationsTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RtuReadTest, LogsDumpsOkLineAndFillsTable) {
  const ReadCase& c = GetParam();
  console.selections[ControlId::RtuReadTypeCombo] = c.type;
  Set({{ControlId::RtuReadStartField, c.start}, {ControlId::RtuReadCountField, c.count}});
  RtuReadClicked(link, slaveId, console);

  const std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  const Bytes& request = requests[0];
  uint8_t functionCode = c.type == 0 ? 0x03 : 0x04;
  std::vector<ResultRow> rows;
  Bytes pdu{functionCode, static_cast<uint8_t>(2 * c.rows)};
  for (uint16_t k = 0; k < c.rows; ++k) {
    auto address = static_cast<uint16_t>(c.firstAddress + k);
    uint16_t value = c.type == 0 ? HoldingValue(address) : InputValue(address);
    rows.push_back(Row(address, value));
    pdu.push_back(static_cast<uint8_t>(value >> 8));
    pdu.push_back(static_cast<uint8_t>(value & 0xFF));
  }
  EXPECT_EQ(console.events, (std::vector<std::string>{
                                Dump("TX", request),
                                Dump("RX", FrameRtuAnswer(1, pdu, {})),
                                Log(c.okLine),
                                kTableEvent + " " + std::to_string(c.rows),
                            }));
  if (c.tx) {
    EXPECT_EQ(Hex(request), c.tx);
  }
  EXPECT_EQ(console.tables[ControlId::RtuResultTable], rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtuReadTest,
    ::testing::Values(ReadCase{"Holding", 0, "0", "2", "01 03 00 00 00 02 C4 0B", 0, 2,
                               "OK: FC03 \u2013 2 Register ab 0x0000 (0)"},
                      ReadCase{"InputSendsFunction4", 1, "16", "2", "01 04 00 10 00 02 70 0E", 16, 2,
                               "OK: FC04 \u2013 2 Register ab 0x0010 (16)"},
                      ReadCase{"TableAddressesWrap", 0, "65534", "3", "01 03 FF FE 00 03 54 2F", 65534, 3,
                               "OK: FC03 \u2013 3 Register ab 0xFFFE (65534)"},
                      ReadCase{"CountCutTo16Bits", 0, "0", "65537", nullptr, 0, 1,
                               "OK: FC03 \u2013 1 Register ab 0x0000 (0)"},
                      ReadCase{"MaximumCount", 0, "0x10", "125", nullptr, 16, 125,
                               "OK: FC03 \u2013 125 Register ab 0x0010 (16)"}), ByName);

// Without an open port every button shows the one hint and does not even read the settings.
TEST(RtuPortClosedTest, EveryButtonShowsOnlyTheHint) {
  for (Handler handler : {RtuReadClicked, RtuWriteOneClicked, RtuWriteManyClicked}) {
    RtuLink link;
    uint8_t slaveId = 1;
    FakeConsole console;
    console.spins[ControlId::SlaveIdSpin] = 9;
    console.spins[ControlId::RtuTimeoutSpin] = 300;
    console.texts[ControlId::PortCombo] = "/dev/null";
    handler(link, slaveId, console);

    EXPECT_EQ(console.events, (std::vector<std::string>{Box("Hinweis", "Bitte zuerst den Port öffnen.")}));
    EXPECT_EQ(slaveId, 1);
    EXPECT_EQ(link.rxTimeoutMs, 800);
    EXPECT_EQ(link.portName, "COM3");
  }
}

using M = Misbehaviour;

struct ResendCase {
  const char* name;
  std::vector<Reply> script;
  bool succeeds;
  const char* message;  // of the final failure
};
void PrintTo(const ResendCase& c, std::ostream* os) { *os << c.name; }

class RtuResendTest : public RtuOperationsTest, public ::testing::WithParamInterface<ResendCase> {};

// Exception code 7 to a write of several registers: hint line, one resend without a TX dump, and the
// second outcome is final whatever it is.
TEST_P(RtuResendTest, ExactlyOneResendWithoutSecondDump) {
  const ResendCase& c = GetParam();
  console.spins[ControlId::RtuTimeoutSpin] = kShortTimeoutMs;
  Set({{ControlId::RtuWriteManyStartField, "100"}, {ControlId::RtuWriteManyValuesField, "10,20,30"}});
  slave.Script(c.script);

  Stopwatch watch;
  RtuWriteManyClicked(link, slaveId, console);
  EXPECT_GE(watch.ElapsedMs(), kShortTimeoutMs - 50);  // the 5-byte exception answer waited it out

  std::vector<std::string> expected{Log("TX (15 B): 01 10 00 64 00 03 06 00 0A 00 14 00 1E FC E6"),
                                    Log(kResyncLine)};
  if (c.succeeds) {
    expected.push_back(Log("RX (8 B): 01 10 00 64 00 03 C1 D7"));
    expected.push_back(Log("OK: FC16 \u2013 3 Register ab 0x0064 (100)"));
    expected.push_back(
        Log("    0x0064 (100) = $000A (10), 0x0065 (101) = $0014 (20), 0x0066 (102) = $001E (30)"));
  } else {
    expected.push_back(Log(std::string("! ") + c.message));
    expected.push_back(Box("Fehler", c.message));
  }
  EXPECT_EQ(console.events, expected);

  std::vector<Bytes> requests = slave.WaitForRequests(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1], requests[0]);
  std::this_thread::sleep_for(std::chrono::milliseconds(kShortTimeoutMs));
  EXPECT_EQ(slave.Requests().size(), 2u);  // and no third attempt
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtuResendTest,
    ::testing::Values(ResendCase{"SecondAttemptSucceeds", {{M::Exception, 7}}, true, nullptr},
                      ResendCase{"SecondAttemptCode7AgainIsFinal",
                                 {{M::Exception, 7}, {M::Exception, 7}},
                                 false,
                                 "RTU: Ungültiger Exceptioncode \u2013 Stream unsynchron."},
                      ResendCase{"SecondAttemptSilent",
                                 {{M::Exception, 7}, {M::Silent}},
                                 false,
                                 "Antwort zu kurz / Timeout (FC16)."},
                      ResendCase{"SecondAttemptKnownException",
                                 {{M::Exception, 7}, {M::Exception, 2}},
                                 false,
                                 "Modbus-Exception (FC16): ILLEGAL DATA ADDRESS (02)"}), ByName);

struct DetailCase {
  int count;
  std::vector<int> itemsPerLine;
};
void PrintTo(const DetailCase& c, std::ostream* os) { *os << "Values" << c.count; }

std::vector<int> ItemsPerLineOf123() {
  std::vector<int> items(20, 6);
  items.push_back(3);
  return items;
}

class RtuDetailLinesTest : public RtuOperationsTest, public ::testing::WithParamInterface<DetailCase> {};

TEST_P(RtuDetailLinesTest, GroupsOfSixAfterTheOkLine) {
  const DetailCase& c = GetParam();
  Set({{ControlId::RtuWriteManyStartField, "0"}, {ControlId::RtuWriteManyValuesField, ValueList(c.count)}});
  RtuWriteManyClicked(link, slaveId, console);

  ASSERT_EQ(console.log.size(), 3 + c.itemsPerLine.size());
  EXPECT_EQ(console.log[0].substr(0, console.log[0].find(':')),
            "TX (" + std::to_string(9 + 2 * c.count) + " B)");
  int next = 0;
  for (size_t line = 0; line < c.itemsPerLine.size(); ++line) {
    std::string expected = "    ";
    for (int i = 0; i < c.itemsPerLine[line]; ++i, ++next) {
      auto address = static_cast<uint16_t>(next);
      auto value = static_cast<uint16_t>(next + 1);
      ResultRow row = Row(address, value);
      expected += (i ? ", " : "") + row.addressHex + " (" + row.addressDec + ") = " + row.valueHex + " (" +
                  row.valueDec + ")";
    }
    EXPECT_EQ(console.log[3 + line], expected);
  }
  EXPECT_EQ(slave.Holding(0, static_cast<size_t>(c.count))[static_cast<size_t>(c.count - 1)], c.count);
}

INSTANTIATE_TEST_SUITE_P(Cases, RtuDetailLinesTest,
                         ::testing::Values(DetailCase{1, {1}}, DetailCase{6, {6}}, DetailCase{7, {6, 1}},
                                           DetailCase{14, {6, 6, 2}}, DetailCase{123, ItemsPerLineOf123()}),
                         [](const auto& info) { return "Values" + std::to_string(info.param.count); });

TEST_F(RtuOperationsTest, SlaveIdComesFromTheSpinAtEveryClick) {
  console.spins[ControlId::SlaveIdSpin] = 5;
  RtuReadClicked(link, slaveId, console);
  const std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0][0], 5);
  EXPECT_EQ(slaveId, 5);
  EXPECT_EQ(console.log[2], "OK: FC03 \u2013 2 Register ab 0x0000 (0)");
}

// A failed read leaves the rows; the next successful read replaces all of them.
TEST_F(RtuOperationsTest, FailedReadKeepsRowsSuccessfulReadReplacesThem) {
  console.spins[ControlId::RtuTimeoutSpin] = kShortTimeoutMs;
  Set({{ControlId::RtuReadCountField, "3"}});
  RtuReadClicked(link, slaveId, console);
  ASSERT_EQ(console.tables[ControlId::RtuResultTable].size(), 3u);
  std::vector<ResultRow> firstRows = console.tables[ControlId::RtuResultTable];

  slave.Script({{M::BadCrc}});
  Set({{ControlId::RtuReadCountField, "1"}, {ControlId::RtuReadStartField, "50"}});
  RtuReadClicked(link, slaveId, console);
  EXPECT_EQ(console.tables[ControlId::RtuResultTable], firstRows);

  RtuReadClicked(link, slaveId, console);
  EXPECT_EQ(console.tables[ControlId::RtuResultTable], (std::vector<ResultRow>{Row(50, HoldingValue(50))}));
}

// An answer that comes after the timeout is dropped before the next request goes out.
TEST_F(RtuOperationsTest, LateAnswerIsNotTakenForTheNextOne) {
  console.spins[ControlId::RtuTimeoutSpin] = kShortTimeoutMs;
  slave.Script({{M::None, 0, 3 * kShortTimeoutMs}});
  RtuReadClicked(link, slaveId, console);
  EXPECT_EQ(console.log.back(), "! Antwort zu kurz / Timeout (FC03/04).");

  std::this_thread::sleep_for(std::chrono::milliseconds(3 * kShortTimeoutMs));
  Set({{ControlId::RtuReadStartField, "20"}});
  console.events.clear();
  RtuReadClicked(link, slaveId, console);
  ASSERT_EQ(console.events.size(), 4u);
  EXPECT_EQ(console.events[2], Log("OK: FC03 \u2013 2 Register ab 0x0014 (20)"));
  EXPECT_EQ(console.tables[ControlId::RtuResultTable],
            (std::vector<ResultRow>{Row(20, HoldingValue(20)), Row(21, HoldingValue(21))}));
}

TEST_F(RtuOperationsTest, AnswerInPiecesWithPausesIsCollected) {
  slave.Script({{M::None, 0, 0, 4, 40}});
  Set({{ControlId::RtuReadCountField, "10"}});
  RtuReadClicked(link, slaveId, console);
  ASSERT_EQ(console.log.size(), 3u);
  EXPECT_EQ(console.log[2], "OK: FC03 \u2013 10 Register ab 0x0000 (0)");
}

}  // namespace
}  // namespace varnetik::testing
