// The operation cases both links share, run on each against the scriptable slave: a refused entry, and a
// failure reported at once. Each row runs under the prefix of its link, e.g. Rtu/.../ReadCount126.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/operations/LinkUnderTest.h"
#include "tests/operations/OperationTestSupport.h"

namespace varnetik::testing {
namespace {

using M = Misbehaviour;

constexpr int64_t kShortTimeoutMs = 200;

template <class Row>
class OnLinkTest : public ::testing::TestWithParam<OnLink<Row>> {
 protected:
  void SetUp() override {
    console.spins[Link().timeoutSpin] = kShortTimeoutMs;
    ASSERT_TRUE(link->Open(slave, console));
  }

  const LinkKind& Link() const { return *this->GetParam().link; }
  const Row& Case() const { return this->GetParam().row; }

  ScriptableSlave slave;
  FakeConsole console;
  std::unique_ptr<LinkUnderTest> link = this->GetParam().link->make();
};

template <class Row, size_t N>
std::vector<OnLink<Row>> RowsOn(const LinkKind& link, const Row (&rows)[N]) {
  std::vector<OnLink<Row>> cases;
  for (const Row& row : rows) cases.push_back({&link, row});
  return cases;
}

struct HintCase {
  const char* name;
  Operation operation;
  ControlId LinkKind::*field;
  std::string text;
  const char* hint;
};

using OperationHintTest = OnLinkTest<HintCase>;

// A refused entry shows only its box and sends nothing; the link's settings were taken over all the same.
TEST_P(OperationHintTest, BoxOnlyNothingLoggedNothingSent) {
  const HintCase& c = Case();
  console.texts[Link().*c.field] = c.text;
  link->FillSettingsTakenFirst(console);
  link->Click(c.operation, console);

  EXPECT_EQ(console.events, (std::vector<std::string>{Box("Hinweis", c.hint)}));
  link->ExpectSettingsTaken();
  Settle();
  EXPECT_TRUE(slave.Requests().empty());
}

constexpr auto kReadCount = &LinkKind::readCountField;
constexpr auto kValues = &LinkKind::writeManyValuesField;
constexpr auto kRead = Operation::Read;
constexpr auto kWriteMany = Operation::WriteMany;

const HintCase kHintCases[] = {
    {"ReadCountZero", kRead, kReadCount, "0", kCountHint},
    {"ReadCount126", kRead, kReadCount, "126", kCountHint},
    {"ReadCountNoDigits", kRead, kReadCount, "abc", kCountHint},
    {"ReadCount65536", kRead, kReadCount, "65536", kCountHint},
    {"ValuesEmpty", kWriteMany, kValues, "", kMissingHint},
    {"ValuesBlanksOnly", kWriteMany, kValues, "   ", kMissingHint},
    {"ValuesCommasOnly", kWriteMany, kValues, ",,,", kValueCountHint},
    {"ValuesCommasAndBlanks", kWriteMany, kValues, " , , ", kValueCountHint},
    {"ValuesTabOnly", kWriteMany, kValues, "\t", kValueCountHint},
    {"Values124", kWriteMany, kValues, k124Values, kValueCountHint},
};

INSTANTIATE_TEST_SUITE_P(Rtu, OperationHintTest, ::testing::ValuesIn(RowsOn(kRtuLink, kHintCases)), ByName);
INSTANTIATE_TEST_SUITE_P(Tcp, OperationHintTest, ::testing::ValuesIn(RowsOn(kTcpLink, kHintCases)), ByName);

// How one link reports a fault; no message: the link does not report this fault at once (a serial
// answer has a CRC a TCP one lacks; a stream out of step makes TCP reconnect and repeat).
struct Report {
  const char* message = nullptr;
  bool waitsFullTimeout = false;  // the answer is shorter than expected, so only the timeout ends the wait
};

struct FailureCase {
  const char* name;
  Operation operation;
  Reply reply;
  Report rtu;
  Report tcp;
};

// The fault as one link reports it.
struct LinkFailure {
  const char* name;
  Operation operation;
  Reply reply;
  Report report;
};

using OperationFailureTest = OnLinkTest<LinkFailure>;

// The request dump, the error line and the box; the table keeps its rows; nothing is sent again.
TEST_P(OperationFailureTest, ErrorLineAndBoxTableKeptNothingRepeated) {
  const LinkFailure& c = Case();
  std::vector<ResultRow> earlier{{"0x0007", "7", "$0046", "70"}};
  console.tables[Link().resultTable] = earlier;
  slave.Script({c.reply});

  Stopwatch watch;
  link->Click(c.operation, console);
  int64_t elapsed = watch.ElapsedMs();

  const std::vector<Bytes> requests = slave.WaitForRequests(1);
  ASSERT_FALSE(requests.empty());
  const std::string message = c.report.message;
  EXPECT_EQ(console.events, (std::vector<std::string>{Dump(Link().txLabel, requests[0]), Log("! " + message),
                                                      Box("Fehler", message)}));
  EXPECT_EQ(console.tables[Link().resultTable], earlier);
  if (c.report.waitsFullTimeout) {
    EXPECT_GE(elapsed, kShortTimeoutMs - 50);
    EXPECT_LT(elapsed, 3000);
  }
  Settle();
  EXPECT_EQ(slave.Requests().size(), 1u);
  link->ExpectConnectionKept(slave);
}

constexpr auto kWriteOne = Operation::WriteOne;
constexpr const char* kReadShort = "Antwort zu kurz / Timeout (FC03/04).";
constexpr const char* kReadCrc = "CRC-Fehler (FC03/04).";
constexpr const char* kReadCode7 = "RTU: Ungültiger Exceptioncode \u2013 Stream unsynchron.";
constexpr const char* kReadIllegalAddress = "Modbus-Exception: ILLEGAL DATA ADDRESS (02)";
constexpr const char* kWriteOneIllegalAddress = "Modbus-Exception (FC06): ILLEGAL DATA ADDRESS (02)";
constexpr const char* kWriteManyDeviceFailure = "Modbus-Exception (FC16): SLAVE DEVICE FAILURE (04)";
constexpr const char* kMbapLength = "TCP: MBAP-Länge unplausibel.";
constexpr bool kWaits = true;

const FailureCase kFailureCases[] = {
    {"ReadSilent", kRead, {M::Silent}, {kReadShort, kWaits}, {}},
    {"ReadOneByteShort", kRead, {M::OneByteShort}, {kReadShort, kWaits}, {kReadShort}},
    {"ReadBadCrc", kRead, {M::BadCrc}, {kReadCrc}, {}},
    {"ReadBadByteCount",
     kRead,
     {M::BadByteCount},
     {"ByteCount passt nicht."},
     {"TCP (FC03/04): ByteCount passt nicht."}},
    {"ReadKnownException", kRead, {M::Exception, 2}, {kReadIllegalAddress, kWaits}, {kReadIllegalAddress}},
    {"ReadExceptionCode7NotResent", kRead, {M::Exception, 7}, {kReadCode7, kWaits}, {}},
    {"ReadExceptionWithStrayByte", kRead, {M::OneByteExtra, 2}, {kReadShort, kWaits}, {}},
    {"ReadExceptionBadCrc", kRead, {M::BadCrc, 2}, {kReadCrc, kWaits}, {}},
    {"ReadMbapLengthZero", kRead, {M::MbapLengthZero}, {}, {kMbapLength}},
    {"WriteOneSilent", kWriteOne, {M::Silent}, {"Antwort zu kurz / Timeout (FC06).", kWaits}, {}},
    {"WriteOneBadCrc", kWriteOne, {M::BadCrc}, {"CRC-Fehler (FC06)."}, {}},
    {"WriteOneOneByteShort", kWriteOne, {M::OneByteShort}, {}, {"TCP (FC06): Unerwartete Antwortlänge."}},
    {"WriteOneKnownException",
     kWriteOne,
     {M::Exception, 2},
     {kWriteOneIllegalAddress, kWaits},
     {kWriteOneIllegalAddress}},
    {"WriteOneExceptionCode7NotResent", kWriteOne, {M::Exception, 7}, {"Modbus-Exception (FC06): EXC 7", kWaits}, {}},
    {"WriteManySilentNotResent", kWriteMany, {M::Silent}, {"Antwort zu kurz / Timeout (FC16).", kWaits}, {}},
    {"WriteManyBadCrc", kWriteMany, {M::BadCrc}, {"CRC-Fehler (FC16)."}, {}},
    {"WriteManyOneByteShort", kWriteMany, {M::OneByteShort}, {"CRC-Fehler (FC16).", kWaits}, {}},
    {"WriteManyOneByteExtra", kWriteMany, {M::OneByteExtra}, {}, {"TCP (FC16): Unerwartete Antwortlänge."}},
    {"WriteManyMbapLengthZero", kWriteMany, {M::MbapLengthZero}, {}, {kMbapLength}},
    {"WriteManyKnownException",
     kWriteMany,
     {M::Exception, 4},
     {kWriteManyDeviceFailure, kWaits},
     {kWriteManyDeviceFailure}},
};

// The rows the link reports at once, each with the link's own report.
std::vector<OnLink<LinkFailure>> FailuresOn(const LinkKind& link, Report FailureCase::*column) {
  std::vector<OnLink<LinkFailure>> cases;
  for (const FailureCase& c : kFailureCases) {
    const Report& report = c.*column;
    if (report.message != nullptr) cases.push_back({&link, {c.name, c.operation, c.reply, report}});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Rtu, OperationFailureTest, ::testing::ValuesIn(FailuresOn(kRtuLink, &FailureCase::rtu)),
                         ByName);
INSTANTIATE_TEST_SUITE_P(Tcp, OperationFailureTest, ::testing::ValuesIn(FailuresOn(kTcpLink, &FailureCase::tcp)),
                         ByName);

}  // namespace
}  // namespace varnetik::testing
