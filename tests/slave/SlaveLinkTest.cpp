// varnetik-slave as a libmodbus master meets it, over RTU on its --pty and over Modbus TCP: reads and
// writes of registers and bits, every exception it answers, and every fault mode steered through its
// standard input.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/slave/SlaveProcess.h"
#include "tests/support/CaseNames.h"

namespace varnetik::testing {
namespace {

enum class Link { Rtu, Tcp };

std::string LinkName(Link link) { return link == Link::Rtu ? "Rtu" : "Tcp"; }
void PrintTo(Link link, std::ostream* os) { *os << LinkName(link); }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Up to count bytes from fd as they come, for at most timeoutMs.
std::vector<uint8_t> ReadBytes(int fd, size_t count, int timeoutMs = 3000) {
  std::vector<uint8_t> bytes;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (bytes.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    uint8_t chunk[512];
    const ssize_t n = read(fd, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

// A plain TCP connection to the slave, for bytes no master library would send.
int RawConnection(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

// "14:03:07.125" at the front of a log line, in milliseconds of the day.
int64_t StampMs(const std::string& line) {
  if (line.size() < 12) return -1;
  return ((std::stoll(line.substr(0, 2)) * 60 + std::stoll(line.substr(3, 2))) * 60 + std::stoll(line.substr(6, 2))) *
             1000 +
         std::stoll(line.substr(9, 3));
}

// A slave on the link with a libmodbus master connected to it.
class SlaveOnLink {
 public:
  explicit SlaveOnLink(Link link, std::vector<std::string> arguments = {"--quiet"}) : link_(link) {
    arguments.push_back(link == Link::Rtu ? "--pty" : "--listen=127.0.0.1:0");
    slave_ = std::make_unique<SlaveProcess>(arguments);
    Connect();
  }
  ~SlaveOnLink() { CloseMaster(master_); }

  void Connect() {
    CloseMaster(master_);
    master_ = link_ == Link::Rtu ? RtuMaster(slave_->PtyPath()) : TcpMaster(slave_->TcpPort());
  }

  modbus_t* master() { return master_; }
  SlaveProcess& slave() { return *slave_; }

 private:
  Link link_;
  std::unique_ptr<SlaveProcess> slave_;
  modbus_t* master_ = nullptr;
};

class SlaveLinkTest : public ::testing::TestWithParam<Link> {};

TEST_P(SlaveLinkTest, WritesOneAndManyAndReadsThemBack) {
  SlaveOnLink on(GetParam());
  modbus_t* master = on.master();
  ASSERT_EQ(modbus_write_register(master, 10, 0xBEEF), 1) << modbus_strerror(errno);
  std::vector<uint16_t> values(123);
  for (size_t k = 0; k < values.size(); ++k) values[k] = static_cast<uint16_t>(0x8000 + 7 * k);
  // The last 123 addresses: a block may end at 65535.
  ASSERT_EQ(modbus_write_registers(master, 65413, 123, values.data()), 123) << modbus_strerror(errno);

  uint16_t read[125] = {};
  ASSERT_EQ(modbus_read_registers(master, 65411, 125, read), 125) << modbus_strerror(errno);
  EXPECT_EQ(std::vector<uint16_t>(read + 2, read + 125), values);
  ASSERT_EQ(modbus_read_registers(master, 9, 3, read), 3);
  EXPECT_EQ(std::vector<uint16_t>(read, read + 3), (std::vector<uint16_t>{0, 0xBEEF, 0}));
}

// Input register 1 ramps one step every 100 ms; input registers without a role stay 0.
TEST_P(SlaveLinkTest, InputRegistersShowLife) {
  SlaveOnLink on(GetParam());
  uint16_t first[3] = {};
  uint16_t later[3] = {};
  ASSERT_EQ(modbus_read_input_registers(on.master(), 0, 3, first), 3) << modbus_strerror(errno);
  Pause(350);
  ASSERT_EQ(modbus_read_input_registers(on.master(), 0, 3, later), 3) << modbus_strerror(errno);
  EXPECT_NE(first[1], later[1]);
  EXPECT_LT(later[1], 100);
  EXPECT_EQ(later[2], 0);
}

// Coils written one and many at a time, the last ones ending at 65535, and discrete inputs set on the
// slave's standard input, read back bit by bit as libmodbus unpacks them.
TEST_P(SlaveLinkTest, CoilsAndDiscreteInputsWriteAndReadBack) {
  SlaveOnLink on(GetParam());
  modbus_t* master = on.master();
  std::vector<uint8_t> bits(20);
  for (size_t k = 0; k < bits.size(); ++k) bits[k] = (k * 5 + k / 3) % 3 == 0;
  ASSERT_EQ(modbus_write_bits(master, 65516, 20, bits.data()), 20) << modbus_strerror(errno);
  ASSERT_EQ(modbus_write_bit(master, 3, 1), 1) << modbus_strerror(errno);
  ASSERT_EQ(modbus_write_bit(master, 4, 1), 1);
  ASSERT_EQ(modbus_write_bit(master, 4, 0), 1);
  ASSERT_TRUE(on.slave().Type("set di 7 1 1 0 1"));
  ASSERT_EQ(on.slave().LineStartingWith("set di"), "set di 7 = 1 1 0 1");

  uint8_t read[2000] = {};
  ASSERT_EQ(modbus_read_bits(master, 65516, 20, read), 20) << modbus_strerror(errno);
  EXPECT_EQ(std::vector<uint8_t>(read, read + 20), bits);
  ASSERT_EQ(modbus_read_bits(master, 0, 2000, read), 2000) << modbus_strerror(errno);
  EXPECT_EQ(std::vector<uint8_t>(read, read + 6), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0}));
  ASSERT_EQ(modbus_read_input_bits(master, 5, 7, read), 7) << modbus_strerror(errno);
  EXPECT_EQ(std::vector<uint8_t>(read, read + 7), (std::vector<uint8_t>{0, 0, 1, 1, 0, 1, 0}));
  // The registers are tables of their own.
  uint16_t registers[5] = {};
  ASSERT_EQ(modbus_read_registers(master, 0, 5, registers), 5);
  EXPECT_EQ(std::vector<uint16_t>(registers, registers + 5), std::vector<uint16_t>(5, 0));
}

TEST(SlaveTcpTest, ServesSeveralMastersAtOnce) {
  SlaveOnLink on(Link::Tcp);
  std::vector<modbus_t*> masters;
  for (int k = 0; k < 8; ++k) masters.push_back(TcpMaster(on.slave().TcpPort()));
  for (int round = 0; round < 3; ++round) {
    for (size_t k = 0; k < masters.size(); ++k) {
      ASSERT_EQ(modbus_write_register(masters[k], static_cast<int>(k), static_cast<uint16_t>(round)), 1);
    }
  }
  uint16_t read[8] = {};
  ASSERT_EQ(modbus_read_registers(masters[3], 0, 8, read), 8);
  EXPECT_EQ(std::vector<uint16_t>(read, read + 8), std::vector<uint16_t>(8, 2));
  for (modbus_t* master : masters) CloseMaster(master);
}

INSTANTIATE_TEST_SUITE_P(Links, SlaveLinkTest, ::testing::Values(Link::Rtu, Link::Tcp),
                         [](const auto& info) { return LinkName(info.param); });

// Requests sent as they are, past libmodbus's own checks, and the exception code of the answer.
struct ExceptionCase {
  const char* name;
  std::vector<uint8_t> pdu;
  uint8_t code;
};
void PrintTo(const ExceptionCase& c, std::ostream* os) { *os << c.name; }

class SlaveExceptionTest : public ::testing::TestWithParam<std::tuple<Link, ExceptionCase>> {};

TEST_P(SlaveExceptionTest, AnswersTheStandardsCode) {
  const auto& [link, c] = GetParam();
  SlaveOnLink on(link);
  std::vector<uint8_t> request{1};
  request.insert(request.end(), c.pdu.begin(), c.pdu.end());
  ASSERT_GT(modbus_send_raw_request(on.master(), request.data(), static_cast<int>(request.size())), 0);
  uint8_t answer[MODBUS_MAX_ADU_LENGTH] = {};
  const int length = modbus_receive_confirmation(on.master(), answer);
  const int header = modbus_get_header_length(on.master());
  ASSERT_GT(length, header + 1) << modbus_strerror(errno);
  EXPECT_EQ(answer[header], c.pdu[0] | 0x80);
  EXPECT_EQ(answer[header + 1], c.code);
}

// FC15 asking for 1969 coils, with the 247 bytes they would take.
std::vector<uint8_t> WriteCoils1969() {
  std::vector<uint8_t> pdu{0x0F, 0x00, 0x00, 0x07, 0xB1, 0xF7};
  pdu.resize(pdu.size() + 0xF7, 0xFF);
  return pdu;
}

const ExceptionCase kExceptionCases[] = {
    {"ReadExceptionStatusUnknown", {0x07}, 1},
    {"ReadDeviceIdUnknown", {0x2B, 0x0E, 0x01, 0x00}, 1},
    {"ReadPastLastAddress", {0x03, 0xFF, 0xFF, 0x00, 0x02}, 2},
    {"ReadInputPastLastAddress", {0x04, 0xFF, 0x90, 0x00, 0x7D}, 2},
    {"WriteManyPastLastAddress", {0x10, 0xFF, 0xFF, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02}, 2},
    {"ReadNone", {0x03, 0x00, 0x00, 0x00, 0x00}, 3},
    {"Read126", {0x04, 0x00, 0x00, 0x00, 0x7E}, 3},
    {"QuantityJudgedBeforeAddress", {0x03, 0xFF, 0xFF, 0x00, 0x7E}, 3},
    {"WriteManyNone", {0x10, 0x00, 0x00, 0x00, 0x00, 0x00}, 3},
    {"WriteManyByteCountNotTwiceQuantity", {0x10, 0x00, 0x00, 0x00, 0x02, 0x03, 0x00, 0x01, 0x00}, 3},
    {"ReadCoilsNone", {0x01, 0x00, 0x00, 0x00, 0x00}, 3},
    {"ReadCoils2001", {0x01, 0x00, 0x00, 0x07, 0xD1}, 3},
    {"ReadDiscreteInputs2001", {0x02, 0x00, 0x00, 0x07, 0xD1}, 3},
    {"ReadCoilsPastLastAddress", {0x01, 0xFF, 0xF0, 0x00, 0x11}, 2},
    {"ReadDiscreteInputsPastLastAddress", {0x02, 0xFF, 0xFF, 0x00, 0x02}, 2},
    {"WriteCoilValueNeitherOnNorOff", {0x05, 0x00, 0x01, 0x00, 0xFF}, 3},
    {"WriteCoilValueOne", {0x05, 0x00, 0x01, 0x00, 0x01}, 3},
    {"WriteCoilsNone", {0x0F, 0x00, 0x00, 0x00, 0x00, 0x00}, 3},
    {"WriteCoils1969", WriteCoils1969(), 3},
    {"WriteCoilsByteCountNotForQuantity", {0x0F, 0x00, 0x00, 0x00, 0x09, 0x01, 0xFF}, 3},
    {"WriteCoilsPastLastAddress", {0x0F, 0xFF, 0xFF, 0x00, 0x02, 0x01, 0x03}, 2},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveExceptionTest,
                         ::testing::Combine(::testing::Values(Link::Rtu, Link::Tcp),
                                            ::testing::ValuesIn(kExceptionCases)),
                         [](const auto& info) {
                           return LinkName(std::get<0>(info.param)) + std::get<1>(info.param).name;
                         });

// A fault for one request, typed on the slave's standard input, as a libmodbus read of two registers
// sees it and as the slave's log shows the answer; the read after it is answered correctly again.
struct FaultCase {
  const char* name;
  Link link;
  const char* mode;
  int expectedErrno;       // 0: the read succeeds
  const char* answerTail;  // how the slave's log line of the answer ends
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class SlaveFaultTest : public ::testing::TestWithParam<FaultCase> {};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_P(SlaveFaultTest, SeenByLibmodbusForOneRequest) {
  const FaultCase& c = GetParam();
  SlaveOnLink on(c.link, {});
  ASSERT_EQ(modbus_write_register(on.master(), 1, 0x1234), 1);
  ASSERT_TRUE(on.slave().Fault(std::string(c.mode) + ":1"));

  uint16_t read[2] = {};
  errno = 0;
  const int rc = modbus_read_registers(on.master(), 0, 2, read);
  if (c.expectedErrno == 0) {
    EXPECT_EQ(rc, 2) << modbus_strerror(errno);
    EXPECT_EQ(read[1], 0x1234);
  } else {
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(errno, c.expectedErrno) << modbus_strerror(errno);
  }
  // The slave logs the answer, or its absence, on the line after the request.
  on.slave().LineContaining(" RX ");
  const std::string answer = on.slave().LineStartingWith("");
  EXPECT_TRUE(EndsWith(answer, c.answerTail)) << answer;

  // Whatever of the faulted answer is still under way arrives and is dropped; a TCP master reconnects.
  Pause(450);
  modbus_flush(on.master());
  if (c.link == Link::Tcp) on.Connect();
  read[1] = 0;
  EXPECT_EQ(modbus_read_registers(on.master(), 0, 2, read), 2) << modbus_strerror(errno);
  EXPECT_EQ(read[1], 0x1234);
}

// libmodbus reads a TCP answer by its function code's lengths and checks only the transaction id, so a
// wrong MBAP length, unit id or protocol id passes it unseen; the log shows what was sent.
const FaultCase kFaultCases[] = {
    {"RtuSilent", Link::Rtu, "silent", ETIMEDOUT, "-- no answer  [fault silent]"},
    {"RtuLate", Link::Rtu, "late=600", ETIMEDOUT, "[fault late=600]"},
    {"RtuSplit", Link::Rtu, "split", 0, "[fault split]"},
    {"RtuCrc", Link::Rtu, "crc", EMBBADCRC, "01 03 04 00 00 12 34 F7 BB  [fault crc]"},
    {"RtuByteCount", Link::Rtu, "bytecount", EMBBADCRC, "[fault bytecount]"},
    {"RtuShort", Link::Rtu, "short", ETIMEDOUT, "01 03 04 00 00 12 34 F7  [fault short]"},
    {"RtuExtra", Link::Rtu, "extra", 0, "01 03 04 00 00 12 34 F7 44 00  [fault extra]"},
    {"RtuException6", Link::Rtu, "exception=6", EMBXSBUSY, "[fault exception=6]"},
    {"RtuTcpOnlyModeAnswersCorrectly", Link::Rtu, "reset", 0, "TX 01 03 04 00 00 12 34 F7 44"},
    {"TcpSilent", Link::Tcp, "silent", ETIMEDOUT, "-- no answer  [fault silent]"},
    {"TcpLate", Link::Tcp, "late=600", ETIMEDOUT, "[fault late=600]"},
    {"TcpSplit", Link::Tcp, "split", 0, "[fault split]"},
    {"TcpByteCount", Link::Tcp, "bytecount", EMBBADDATA, "00 00 00 07 01 03 02 00 00 12 34  [fault bytecount]"},
    {"TcpShort", Link::Tcp, "short", ETIMEDOUT, "00 00 00 06 01 03 04 00 00 12  [fault short]"},
    {"TcpExtra", Link::Tcp, "extra", 0, "00 00 00 08 01 03 04 00 00 12 34 00  [fault extra]"},
    {"TcpException11", Link::Tcp, "exception=11", EMBXGTAR, "00 00 00 03 01 83 0B  [fault exception=11]"},
    {"TcpTransactionId", Link::Tcp, "tid", EMBBADDATA, "[fault tid]"},
    {"TcpUnitId", Link::Tcp, "unit", 0, "00 00 00 07 02 03 04 00 00 12 34  [fault unit]"},
    {"TcpStale", Link::Tcp, "stale", EMBBADDATA, "[fault stale]"},
    {"TcpProtocolId", Link::Tcp, "protocol", 0, "00 01 00 07 01 03 04 00 00 12 34  [fault protocol]"},
    {"TcpMbapLength", Link::Tcp, "length", ETIMEDOUT, "00 00 00 00 01  [fault length]"},
    {"TcpClose", Link::Tcp, "close", ECONNRESET, "-- no answer  [fault close]"},
    {"TcpReset", Link::Tcp, "reset", ECONNRESET, "-- no answer  [fault reset]"},
    {"TcpRtuOnlyModeAnswersCorrectly", Link::Tcp, "crc", 0, "00 00 00 07 01 03 04 00 00 12 34"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveFaultTest, ::testing::ValuesIn(kFaultCases),
                         ByName);

// The fault modes reach the answers to the bit function codes as they reach the others: a read of ten
// coils or discrete inputs, or a write of ten coils, under the fault for one request; a write under a
// mode that sends no answer or an exception is not carried out.
struct BitFaultCase {
  const char* name;
  Link link;
  const char* mode;
  int functionCode;  // 0x01, 0x02 or 0x0F
  int expectedErrno;  // 0: the request succeeds
  bool written;       // FC15: the coils are set afterwards
};
void PrintTo(const BitFaultCase& c, std::ostream* os) { *os << c.name; }

class SlaveBitFaultTest : public ::testing::TestWithParam<BitFaultCase> {};

TEST_P(SlaveBitFaultTest, SeenByLibmodbus) {
  const BitFaultCase& c = GetParam();
  SlaveOnLink on(c.link);
  ASSERT_TRUE(on.slave().Type("set co 0 1 0 1"));
  ASSERT_TRUE(on.slave().Type("set di 0 0 1 1"));
  ASSERT_TRUE(on.slave().Fault(std::string(c.mode) + ":1"));
  uint8_t bits[10] = {};
  const uint8_t ones[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  errno = 0;
  int rc = 0;
  if (c.functionCode == 0x01) rc = modbus_read_bits(on.master(), 0, 10, bits);
  if (c.functionCode == 0x02) rc = modbus_read_input_bits(on.master(), 0, 10, bits);
  if (c.functionCode == 0x0F) rc = modbus_write_bits(on.master(), 0, 10, ones);
  if (c.expectedErrno == 0) {
    EXPECT_EQ(rc, 10) << modbus_strerror(errno);
  } else {
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(errno, c.expectedErrno) << modbus_strerror(errno);
  }
  if (c.expectedErrno == 0 && c.functionCode != 0x0F) {
    const uint8_t expected = c.functionCode == 0x01 ? 1 : 0;
    EXPECT_EQ(bits[0], expected);
    EXPECT_EQ(bits[2], 1);
  }

  Pause(450);
  modbus_flush(on.master());
  if (c.link == Link::Tcp) on.Connect();
  ASSERT_EQ(modbus_read_bits(on.master(), 0, 10, bits), 10) << modbus_strerror(errno);
  const uint8_t written[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  const uint8_t before[10] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bits, bits + 10),
            std::vector<uint8_t>(c.written ? written : before, (c.written ? written : before) + 10));
}

const BitFaultCase kBitFaultCases[] = {
    {"RtuCrcOnReadCoils", Link::Rtu, "crc", 0x01, EMBBADCRC, false},
    {"RtuByteCountOnReadDiscreteInputs", Link::Rtu, "bytecount", 0x02, EMBBADCRC, false},
    {"RtuSplitOnReadCoils", Link::Rtu, "split", 0x01, 0, false},
    {"RtuExceptionOnWriteCoilsNotCarriedOut", Link::Rtu, "exception=4", 0x0F, EMBXSFAIL, false},
    {"RtuExtraOnWriteCoilsCarriedOut", Link::Rtu, "extra", 0x0F, 0, true},
    {"TcpByteCountOnReadCoils", Link::Tcp, "bytecount", 0x01, EMBBADDATA, false},
    {"TcpShortOnReadDiscreteInputs", Link::Tcp, "short", 0x02, ETIMEDOUT, false},
    {"TcpSilentOnWriteCoilsNotCarriedOut", Link::Tcp, "silent", 0x0F, ETIMEDOUT, false},
    {"TcpLateOnWriteCoilsCarriedOut", Link::Tcp, "late=600", 0x0F, ETIMEDOUT, true},
    {"TcpResetOnReadCoils", Link::Tcp, "reset", 0x01, ECONNRESET, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveBitFaultTest, ::testing::ValuesIn(kBitFaultCases), ByName);

// Two requests sent back to back while answers are split: the pieces of one answer never mix with the
// other's bytes, and the answer after a split one waits for its last piece, so the stream stays readable.
TEST_P(SlaveLinkTest, SplitAnswersToTwoRequestsStayWhole) {
  SlaveOnLink on(GetParam(), {"--quiet"});
  const bool rtu = GetParam() == Link::Rtu;
  for (const char* fault : {"split:2", "split:1"}) {
    ASSERT_TRUE(on.slave().Type(std::string("fault ") + fault));
    Pause(100);
    const uint8_t one[] = {1, 0x03, 0x00, 0x00, 0x00, 0x01};
    const uint8_t two[] = {1, 0x03, 0x00, 0x00, 0x00, 0x02};
    ASSERT_GT(modbus_send_raw_request(on.master(), one, sizeof one), 0);
    ASSERT_GT(modbus_send_raw_request(on.master(), two, sizeof two), 0);
    std::vector<uint8_t> expected;
    const std::vector<uint8_t> stream = ReadBytes(modbus_get_socket(on.master()), rtu ? 16 : 24);
    if (rtu) {
      expected = {0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44, 0x01, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0xFA, 0x33};
    } else if (stream.size() == 24) {
      // The transaction ids are libmodbus's own.
      expected = {stream[0],  stream[1],  0, 0, 0, 5, 1, 0x03, 0x02, 0x00, 0x00, stream[11], stream[12],
                  0,          0,          0, 7, 1, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00};
    }
    EXPECT_EQ(stream, expected) << fault;
  }
}

// bytecount:1 is used up by the first answer it changes: not by a write's answer, nor by an exception.
TEST_P(SlaveLinkTest, FaultCountCountsOnlyTheAnswersItChanged) {
  SlaveOnLink on(GetParam(), {});
  ASSERT_TRUE(on.slave().Fault("bytecount:1"));
  ASSERT_EQ(modbus_write_register(on.master(), 1, 0x1234), 1) << modbus_strerror(errno);
  uint16_t read[2] = {};
  errno = 0;
  EXPECT_EQ(modbus_read_registers(on.master(), 65535, 2, read), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_read_registers(on.master(), 0, 2, read), -1);
  EXPECT_NE(on.slave().LineContaining("fault bytecount used up: correct answers again"), "");
  Pause(100);
  modbus_flush(on.master());
  EXPECT_EQ(modbus_read_registers(on.master(), 0, 2, read), 2) << modbus_strerror(errno);
  EXPECT_EQ(on.slave().Stop(SIGTERM), 0);
  EXPECT_NE(on.slave().LineContaining("stopped: 4 requests, 4 answers, 1 exception, 1 fault applied"), "");
}

// A late answer is stamped in the log when it is sent, not when it was decided.
TEST_P(SlaveLinkTest, LateAnswerIsStampedWhenSent) {
  SlaveOnLink on(GetParam(), {});
  ASSERT_TRUE(on.slave().Fault("late=700:1"));
  uint16_t read[1] = {};
  modbus_read_registers(on.master(), 0, 1, read);
  const std::string request = on.slave().LineContaining(" RX ");
  const std::string answer = on.slave().LineContaining("[fault late=700]");
  EXPECT_GE(StampMs(answer) - StampMs(request), 600) << request << "\n" << answer;
}

// A master that sends requests and never reads the answers: the slave stays up and says so once. On
// RTU it drops what cannot be sent and serves the master again once it reads; on TCP it closes that
// connection. A TCP master beside it is served throughout.
TEST_P(SlaveLinkTest, MasterThatDoesNotReadIsSurvived) {
  const bool rtu = GetParam() == Link::Rtu;
  SlaveProcess slave({"--pty", "--listen=127.0.0.1:0"});
  modbus_t* deaf = rtu ? RtuMaster(slave.PtyPath()) : TcpMaster(slave.TcpPort());
  const uint8_t readMany[] = {1, 0x03, 0x00, 0x00, 0x00, 0x7D};
  const char* said = rtu ? "answers dropped: the master does not read its answers"
                        : "closed: the client stopped reading its answers";
  // Until the slave says it; its log is read meanwhile, so that it never waits for its standard output.
  bool saidIt = false;
  for (int k = 0; k < 100000 && !saidIt; ++k) {
    if (modbus_send_raw_request(deaf, readMany, sizeof readMany) < 0) break;
    if (k % 20 == 0) saidIt = slave.LineContaining(said, 1) != "";
  }
  EXPECT_TRUE(saidIt || slave.LineContaining(said) != "");
  // The requests still queued are answered (and dropped) and logged before the next master is served.
  slave.AwaitQuiet(300);
  modbus_t* other = TcpMaster(slave.TcpPort());
  uint16_t value = 0;
  EXPECT_EQ(modbus_read_registers(other, 0, 1, &value), 1) << modbus_strerror(errno);
  if (rtu) {
    modbus_flush(deaf);
    Pause(100);
    modbus_flush(deaf);
    EXPECT_EQ(modbus_read_registers(deaf, 0, 1, &value), 1) << modbus_strerror(errno);
  }
  CloseMaster(other);
  CloseMaster(deaf);
  EXPECT_EQ(slave.Stop(SIGTERM), 0);
  EXPECT_EQ(slave.LineContaining("answers dropped"), "") << "said more than once";
}

// Bytes before a request on the serial line (noise, another slave's answer with its CRC) do not cost
// the request: the slave finds it by its CRC at once, without waiting for a pause.
struct NoiseCase {
  const char* name;
  std::vector<uint8_t> before;
};
void PrintTo(const NoiseCase& c, std::ostream* os) { *os << c.name; }

class SlaveRtuNoiseTest : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(SlaveRtuNoiseTest, RequestAfterItIsAnswered) {
  SlaveOnLink on(Link::Rtu);
  const std::vector<uint8_t>& before = GetParam().before;
  ASSERT_EQ(write(modbus_get_socket(on.master()), before.data(), before.size()), static_cast<ssize_t>(before.size()));
  uint16_t value = 0;
  EXPECT_EQ(modbus_read_registers(on.master(), 0, 1, &value), 1) << modbus_strerror(errno);
}

const NoiseCase kNoiseCases[] = {
    {"OneByte", {0xFF}},
    {"OtherSlavesAnswer", {0x02, 0x03, 0x02, 0xAB, 0xCD, 0x42, 0xE1}},
    {"BrokenRequest", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveRtuNoiseTest, ::testing::ValuesIn(kNoiseCases), ByName);

// A header whose length frames nothing ends the connection, and the log says which length it was.
TEST(SlaveTcpTest, BadMbapLengthIsNamedWhenClosing) {
  SlaveProcess slave({"--listen=127.0.0.1:0"});
  const int fd = RawConnection(slave.TcpPort());
  const uint8_t header[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x2C, 0x01};
  ASSERT_EQ(send(fd, header, sizeof header, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof header));
  EXPECT_NE(slave.LineContaining("closed: MBAP length 300 frames no request"), "");
  close(fd);
}

// Out of descriptors, the slave stops accepting instead of spinning, says so once, serves the
// connections it has, and takes a waiting one as soon as one of them closes.
TEST(SlaveTcpTest, OutOfDescriptorsWaitsForAConnectionToClose) {
  // Standard input, output and error, the stop pipe and the listener leave room for 3 connections.
  SlaveProcess slave({"--listen=127.0.0.1:0"}, 9);
  std::vector<modbus_t*> masters;
  for (int k = 0; k < 6; ++k) masters.push_back(TcpMaster(slave.TcpPort(), 2000));
  EXPECT_NE(slave.LineContaining("cannot accept another connection"), "");
  uint16_t value = 0;
  EXPECT_EQ(modbus_read_registers(masters[0], 0, 1, &value), 1) << modbus_strerror(errno);
  CloseMaster(masters[0]);
  EXPECT_EQ(modbus_read_registers(masters[3], 0, 1, &value), 1) << modbus_strerror(errno);
  for (size_t k = 1; k < masters.size(); ++k) CloseMaster(masters[k]);
  EXPECT_EQ(slave.Stop(SIGTERM), 0);
  EXPECT_EQ(slave.LineContaining("cannot accept another connection"), "") << "said more than once";
}

}  // namespace
}  // namespace varnetik::testing
