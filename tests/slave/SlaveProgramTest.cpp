// varnetik-slave as a program: its command line and exit statuses, a clean stop by signal, the units
// it answers, the table files it loads and saves, the commands typed while it runs, and the random fault
// mode's repeatability.
#include <gtest/gtest.h>
#include <modbus.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/slave/SlaveProcess.h"
#include "tests/support/CaseNames.h"

namespace varnetik::testing {
namespace {

struct ArgumentCase {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  const char* message;  // part of what standard error (status != 0) or output (status 0) says
};
void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.name; }

class SlaveArgumentTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(SlaveArgumentTest, ExitStatusAndMessage) {
  const ArgumentCase& c = GetParam();
  const SlaveRun run = RunSlaveToEnd(c.arguments);
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.message), std::string::npos) << run.out << run.err;
}

const ArgumentCase kArgumentCases[] = {
    {"Help", {"--help"}, 0, "EXIT STATUS"},
    {"NothingToServe", {}, 2, "nothing to serve: give --pty, --port DEVICE or --listen ADDRESS:PORT"},
    {"UnknownOption", {"--pty", "--verbose"}, 2, "unknown option '--verbose'"},
    {"MissingValue", {"--pty", "--unit"}, 2, "--unit needs a value: a slave id from 1 to 247, or any"},
    {"PtyAndPort", {"--pty", "--port", "/dev/ttyS0"}, 2, "--pty and --port exclude each other"},
    {"LineSettingsWithoutLine", {"--listen", "127.0.0.1:0", "--baud", "19200"}, 2, "need --port or --pty"},
    {"BaudWithoutSpeed", {"--pty", "--baud", "12345"}, 2, "--baud 12345: expected a baud rate"},
    {"ParityLowerCase", {"--pty", "--parity", "e"}, 2, "--parity e: expected N, E or O"},
    {"DataBits9", {"--pty", "--data-bits=9"}, 2, "--data-bits 9: expected 7 or 8"},
    {"Unit0", {"--pty", "--unit", "0"}, 2, "--unit 0: expected a slave id from 1 to 247, or any"},
    {"ListenHostName", {"--listen", "localhost:1502"}, 2, "--listen localhost:1502: expected an IPv4 address"},
    {"UnknownFault", {"--pty", "--fault", "slow"}, 2, "unknown fault mode 'slow'"},
    {"FaultCountZero", {"--pty", "--fault", "crc:0"}, 2, "the count after ':' must be a number from 1"},
    {"LateWithoutValue", {"--pty", "--fault", "late"}, 2, "fault mode 'late' needs a value"},
    {"PortMissing", {"--port", "/dev/varnetik-no-such-port"}, 1,
     "cannot open /dev/varnetik-no-such-port: there is no such port"},
    {"PortNotATerminal", {"--port", "/dev/null"}, 1, "cannot open /dev/null: it is not a serial port"},
    {"PortIsTheConsoleAlias", {"--port", "/dev/console"}, 1, "cannot open /dev/console: it is not a serial port"},
    {"LoadMissing", {"--pty", "--load", "/nonexistent/registers.csv"}, 1, "--load /nonexistent/registers.csv"},
    {"LoadDirectory", {"--pty", "--load", "/"}, 1, "--load /: is a directory"},
    {"SaveIntoMissingFolder", {"--pty", "--save", "/nonexistent/registers.csv"}, 1,
     "--save /nonexistent/registers.csv: cannot be written"},
    {"SaveToDirectory", {"--pty", "--save", "/"}, 1, "--save /: is a directory"},
    {"SaveIntoProc", {"--listen=127.0.0.1:0", "--save", "/proc/varnetik.csv"}, 1, "--save /proc/varnetik.csv"},
    {"OptionTwice", {"--pty", "--unit", "1", "--unit=2"}, 2, "--unit is given twice"},
    {"BaudListsTheAcceptedOnes", {"--pty", "--baud", "12345"}, 2, "9600, 19200, 38400, 57600, 115200"},
    {"GapZero", {"--pty", "--gap-ms", "0"}, 2, "--gap-ms 0: expected milliseconds from 1 to 1000"},
    {"Version", {"--version"}, 0, "varnetik-slave 1."},
    {"HelpNamesTheModesThatWrite", {"--help"}, 0, "every mode but silent, close, reset and"},
    {"UnitListedTwice", {"--pty", "--unit", "1,2,1"}, 2, "--unit 1,2,1: unit 1 is listed twice"},
    {"UnitAnyInAList", {"--pty", "--unit", "1,any"}, 2, "--unit 1,any: expected a slave id from 1 to 247"},
    {"UnitListWithAGap", {"--pty", "--unit", "1,,2"}, 2, "--unit 1,,2: expected a slave id"},
    {"UnitListOutOfRange", {"--pty", "--unit", "1,248"}, 2, "--unit 1,248: expected a slave id"},
    {"LoadForAUnitNotServed", {"--pty", "--unit", "1,2", "--load", "3:co=x.csv"}, 2,
     "--load 3:co=x.csv: unit 3 is not one of --unit"},
    {"LoadForUnit248", {"--pty", "--load", "248:co=x.csv"}, 2, "--load 248:co=x.csv: unit 248 is not a slave id"},
    {"LoadWithoutFile", {"--pty", "--load", "2:di="}, 2, "the file name missing"},
    {"SaveOneTableTwice", {"--pty", "--save", "a.csv", "--save", "1:hr=b.csv"}, 2, "--save names the table 1:hr twice"},
    {"SaveTwoTablesIntoOneFile", {"--pty", "--save", "co=a.csv", "--save", "di=a.csv"}, 2,
     "--save names the file a.csv twice"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveArgumentTest, ::testing::ValuesIn(kArgumentCases),
                         ByName);

TEST(SlaveProgramTest, AddressInUseIsAnOpenFailure) {
  SlaveProcess first({"--listen", "127.0.0.1:0", "--quiet"});
  const SlaveRun second = RunSlaveToEnd({"--listen", "127.0.0.1:" + std::to_string(first.TcpPort())});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("cannot listen on 127.0.0.1:"), std::string::npos) << second.err;
}

struct SignalCase {
  const char* name;
  int number;
};
void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }

class SlaveSignalTest : public ::testing::TestWithParam<SignalCase> {};

// The pseudo-terminal goes with the slave, a master that had it open sees the line end, and --save is
// written.
TEST_P(SlaveSignalTest, StopsCleanlyAndRemovesThePseudoTerminal) {
  const std::string saved =
      ::testing::TempDir() + "varnetik-slave-" + std::to_string(getpid()) + "-" + GetParam().name + ".csv";
  SlaveProcess slave({"--pty", "--listen", "127.0.0.1:0", "--save", saved});
  modbus_t* master = RtuMaster(slave.PtyPath());
  uint16_t value = 0;
  ASSERT_EQ(modbus_read_registers(master, 0, 1, &value), 1);
  EXPECT_EQ(slave.Stop(GetParam().number), 0);
  struct stat info {};
  EXPECT_NE(stat(slave.PtyPath().c_str(), &info), 0) << slave.PtyPath() << " is still there";
  EXPECT_EQ(stat(saved.c_str(), &info), 0) << saved << " not written";
  std::remove(saved.c_str());
  EXPECT_EQ(modbus_read_registers(master, 0, 1, &value), -1);
  CloseMaster(master);
}

INSTANTIATE_TEST_SUITE_P(Signals, SlaveSignalTest,
                         ::testing::Values(SignalCase{"Sigint", SIGINT}, SignalCase{"Sigterm", SIGTERM},
                                           SignalCase{"Sighup", SIGHUP}),
                         ByName);

// What the slave says about its settings as it starts, on standard output and, for a warning, on
// standard error.
struct StartCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* line;     // part of a line on standard output
  const char* warning;  // part of standard error, "" for none
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class SlaveStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(SlaveStartTest, SaysItsSettings) {
  const StartCase& c = GetParam();
  SlaveProcess slave(c.arguments);
  EXPECT_NE(slave.LineContaining(c.line), "") << c.line;
  EXPECT_EQ(slave.Stop(SIGTERM), 0);
  EXPECT_NE(slave.ErrorOutput().find(c.warning), std::string::npos) << c.warning;
}

const StartCase kStartCases[] = {
    {"GapAt115200", {"--pty", "--baud", "115200"}, "RTU pseudo-terminal 115200 8N1, unit 1, gap 4 ms", ""},
    {"GapAt9600", {"--pty"}, "gap 5 ms", ""},
    {"GapAt1200", {"--pty", "--baud", "1200"}, "gap 33 ms", ""},
    {"GapGiven", {"--pty", "--gap-ms", "7"}, "gap 7 ms", ""},
    {"TcpUnit", {"--listen=127.0.0.1:0", "--unit", "5"}, "TCP unit 5", ""},
    {"DataBits7", {"--pty", "--data-bits", "7"}, "7N1", "warning: --data-bits 7: Modbus RTU uses 8 data bits"},
    {"RtuUnits", {"--pty", "--unit", "2,1,17"}, "RTU pseudo-terminal 9600 8N1, units 2,1,17, gap 5 ms", ""},
    {"TcpUnits", {"--listen=127.0.0.1:0", "--unit", "2,1,17"}, "TCP units 2,1,17 (0 and 255 answered as unit 2)", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveStartTest, ::testing::ValuesIn(kStartCases), ByName);

// "fault" alone lists the modes; blanks around a command do not matter.
TEST(SlaveProgramTest, TakesCommandsWithBlanksAndListsTheModes) {
  SlaveProcess slave({"--pty", "--quiet"});
  ASSERT_TRUE(slave.Type("fault"));
  EXPECT_NE(slave.LineContaining("random=SEED"), "");
  ASSERT_TRUE(slave.Type("   fault silent  "));
  EXPECT_EQ(slave.LineStartingWith("fault "), "fault silent");
  EXPECT_EQ(slave.Stop(SIGTERM), 0);
  EXPECT_EQ(slave.ErrorOutput(), "");
}

// RTU requests for another id are ignored as on a bus; TCP ones get exception 0B, unit 255 is answered.
struct UnitCase {
  const char* name;
  const char* unitOption;
  bool rtu;
  int requestUnit;
  int expectedErrno;  // 0: answered
};
void PrintTo(const UnitCase& c, std::ostream* os) { *os << c.name; }

class SlaveUnitTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(SlaveUnitTest, AnswersOnlyItsUnit) {
  const UnitCase& c = GetParam();
  SlaveProcess slave({c.rtu ? "--pty" : "--listen=127.0.0.1:0", "--unit", c.unitOption, "--quiet"});
  modbus_t* master = c.rtu ? RtuMaster(slave.PtyPath()) : TcpMaster(slave.TcpPort());
  modbus_set_slave(master, c.requestUnit);
  uint16_t value = 0;
  errno = 0;
  const int rc = modbus_read_registers(master, 0, 1, &value);
  EXPECT_EQ(rc, c.expectedErrno == 0 ? 1 : -1);
  EXPECT_EQ(c.expectedErrno == 0 ? 0 : errno, c.expectedErrno) << modbus_strerror(errno);
  CloseMaster(master);
}

const UnitCase kUnitCases[] = {
    {"RtuOwnUnit", "5", true, 5, 0},
    {"RtuOtherUnitIgnored", "5", true, 1, ETIMEDOUT},
    {"RtuAnyUnit", "any", true, 247, 0},
    {"TcpOwnUnit", "5", false, 5, 0},
    {"TcpOtherUnitGatewayException", "5", false, 1, EMBXGTAR},
    {"TcpUnit255", "5", false, 255, 0},
    {"TcpUnit0", "5", false, 0, 0},
    {"TcpAnyUnit", "any", false, 17, 0},
    {"RtuLastOfSeveral", "1,2,17", true, 17, 0},
    {"RtuUnlistedOfSeveralIgnored", "1,2,17", true, 3, ETIMEDOUT},
    {"TcpSecondOfSeveral", "1,2,17", false, 2, 0},
    {"TcpUnlistedOfSeveralGatewayException", "1,2,17", false, 3, EMBXGTAR},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveUnitTest, ::testing::ValuesIn(kUnitCases),
                         ByName);

// Each unit has a map of its own; TCP's units 0 and 255 reach the first unit listed, an RTU broadcast
// write reaches every unit.
TEST(SlaveProgramTest, UnitsKeepTheirOwnMaps) {
  SlaveProcess slave({"--pty", "--listen=127.0.0.1:0", "--unit", "17,2", "--quiet"});
  modbus_t* rtu = RtuMaster(slave.PtyPath());
  modbus_set_slave(rtu, 17);
  ASSERT_EQ(modbus_write_register(rtu, 5, 1717), 1) << modbus_strerror(errno);
  ASSERT_EQ(modbus_write_bit(rtu, 5, 1), 1) << modbus_strerror(errno);
  modbus_set_slave(rtu, 2);
  ASSERT_EQ(modbus_write_register(rtu, 5, 22), 1) << modbus_strerror(errno);
  modbus_set_slave(rtu, MODBUS_BROADCAST_ADDRESS);
  // Not answered: libmodbus waits its response timeout for the answer all the same, and fails.
  modbus_write_register(rtu, 6, 99);

  struct Read {
    modbus_t* master;
    int unit;
    std::vector<uint16_t> registers;  // 5 and 6
    uint8_t coil;                     // 5
  };
  modbus_t* tcp = TcpMaster(slave.TcpPort());
  const Read reads[] = {
      {rtu, 17, {1717, 99}, 1}, {rtu, 2, {22, 99}, 0},  {tcp, 17, {1717, 99}, 1},
      {tcp, 2, {22, 99}, 0},    {tcp, 0, {1717, 99}, 1}, {tcp, 255, {1717, 99}, 1},
  };
  for (const Read& read : reads) {
    modbus_set_slave(read.master, read.unit);
    uint16_t registers[2] = {};
    uint8_t coil = 2;
    ASSERT_EQ(modbus_read_registers(read.master, 5, 2, registers), 2) << read.unit << modbus_strerror(errno);
    ASSERT_EQ(modbus_read_bits(read.master, 5, 1, &coil), 1) << read.unit << modbus_strerror(errno);
    EXPECT_EQ(std::vector<uint16_t>(registers, registers + 2), read.registers) << "unit " << read.unit;
    EXPECT_EQ(coil, read.coil) << "unit " << read.unit;
  }
  CloseMaster(tcp);
  CloseMaster(rtu);
}

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ScratchPath(const std::string& name) {
  return ::testing::TempDir() + "varnetik-slave-" + std::to_string(getpid()) + "-" + name;
}

// A file as the window exports it, the wrapped addresses of a read at 65535 included, is served; the
// registers written meanwhile and the loaded ones come back in the same format.
TEST(SlaveProgramTest, LoadsAndSavesTheWindowsCsvFormat) {
  const std::string in = ScratchPath("in.csv");
  const std::string out = ScratchPath("out.csv");
  // With a byte-order mark and a blank last line, as an editor may leave them.
  std::ofstream(in, std::ios::binary) << "\xEF\xBB\xBF"
                                         "Adresse;Adresse dez.;Hex;Dezimal\r\n"
                                         "0xFFFF;65535;$00FF;255\r\n"
                                         "0x0000;0;$FFFF;65535\r\n"
                                         "0x000A;10;$1234;4660\r\n"
                                         "\r\n";
  SlaveProcess slave({"--listen=127.0.0.1:0", "--load", in, "--save", out, "--quiet"});
  EXPECT_NE(slave.LineContaining("loaded 3 registers from " + in), "");
  modbus_t* master = TcpMaster(slave.TcpPort());
  uint16_t read[2] = {};
  ASSERT_EQ(modbus_read_registers(master, 9, 2, read), 2);
  EXPECT_EQ(read[1], 0x1234);
  ASSERT_EQ(modbus_write_register(master, 0x000A, 0), 1);
  ASSERT_EQ(modbus_write_register(master, 0x0100, 0xABCD), 1);
  CloseMaster(master);
  ASSERT_EQ(slave.Stop(SIGTERM), 0) << slave.ErrorOutput();
  EXPECT_NE(slave.LineContaining("saved 3 registers to " + out), "");

  EXPECT_EQ(FileText(out),
            "Adresse;Adresse dez.;Hex;Dezimal\r\n"
            "0x0000;0;$FFFF;65535\r\n"
            "0x0100;256;$ABCD;43981\r\n"
            "0xFFFF;65535;$00FF;255\r\n");
  std::remove(in.c_str());
  std::remove(out.c_str());
}

// The file is checked at the start without being touched, as it may be the one loaded; a save that
// fails at the exit all the same leaves the registers in a copy and says where.
TEST(SlaveProgramTest, SaveKeepsTheLoadedFileUntilTheExitAndLeavesACopyWhenItFails) {
  const std::string folder = ScratchPath("save");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const std::string file = folder + "/registers.csv";
  const std::string text = "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0007;7\r\n";
  std::ofstream(file, std::ios::binary) << text;
  SlaveProcess slave({"--listen=127.0.0.1:0", "--load", file, "--save", file, "--quiet"});
  modbus_t* master = TcpMaster(slave.TcpPort());
  ASSERT_EQ(modbus_write_register(master, 0x0100, 0xABCD), 1);
  CloseMaster(master);
  EXPECT_EQ(FileText(file), text);
  // The folder goes away behind the slave's back.
  std::remove(file.c_str());
  ASSERT_EQ(rmdir(folder.c_str()), 0);
  EXPECT_EQ(slave.Stop(SIGTERM), 1);

  const std::string error = slave.ErrorOutput();
  const size_t at = error.find("the registers were written to ");
  ASSERT_NE(at, std::string::npos) << error;
  const size_t from = at + std::string("the registers were written to ").size();
  const std::string copy = error.substr(from, error.find(" instead", from) - from);
  EXPECT_EQ(FileText(copy), "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0007;7\r\n0x0100;256;$ABCD;43981\r\n");
  std::remove(copy.c_str());
}

// Coils, discrete inputs and input registers of one unit and another come from their files and go
// back to theirs in the same format, values 0 and 1 for the bits.
TEST(SlaveProgramTest, LoadsAndSavesEveryTableOfEveryUnit) {
  const std::string header = "Adresse;Adresse dez.;Hex;Dezimal\r\n";
  const std::string coils = ScratchPath("coils.csv");
  const std::string discrete = ScratchPath("discrete.csv");
  const std::string input = ScratchPath("input.csv");
  const std::string saved = ScratchPath("saved.csv");
  std::ofstream(coils, std::ios::binary) << header << "0x0003;3;$0001;1\r\n0xFFFF;65535;$0001;1\r\n";
  std::ofstream(discrete, std::ios::binary) << header << "0x0001;1;$0001;1\r\n0x0002;2;$0000;0\r\n";
  std::ofstream(input, std::ios::binary) << header << "0x000A;10;$1234;4660\r\n";
  SlaveProcess slave({"--listen=127.0.0.1:0", "--unit", "1,2", "--load", "2:co=" + coils, "--load", "di=" + discrete,
                      "--load", "2:ir=" + input, "--save", "2:co=" + saved, "--quiet"});
  EXPECT_NE(slave.LineContaining("loaded 2 coils of unit 2 from " + coils), "");
  EXPECT_NE(slave.LineContaining("loaded 2 discrete inputs of unit 1 from " + discrete), "");
  EXPECT_NE(slave.LineContaining("loaded 1 input registers of unit 2 from " + input), "");

  modbus_t* master = TcpMaster(slave.TcpPort());
  uint8_t bits[5] = {};
  uint16_t value = 0;
  ASSERT_EQ(modbus_read_input_bits(master, 0, 3, bits), 3);
  EXPECT_EQ(std::vector<uint8_t>(bits, bits + 3), (std::vector<uint8_t>{0, 1, 0}));
  modbus_set_slave(master, 2);
  ASSERT_EQ(modbus_read_bits(master, 0, 5, bits), 5);
  EXPECT_EQ(std::vector<uint8_t>(bits, bits + 5), (std::vector<uint8_t>{0, 0, 0, 1, 0}));
  ASSERT_EQ(modbus_read_input_registers(master, 10, 1, &value), 1);
  EXPECT_EQ(value, 0x1234);
  ASSERT_EQ(modbus_write_bit(master, 4, 1), 1);
  ASSERT_EQ(modbus_write_bit(master, 3, 0), 1);
  CloseMaster(master);
  ASSERT_EQ(slave.Stop(SIGTERM), 0) << slave.ErrorOutput();
  EXPECT_NE(slave.LineContaining("saved 2 coils of unit 2 to " + saved), "");
  EXPECT_EQ(FileText(saved), header + "0x0004;4;$0001;1\r\n0xFFFF;65535;$0001;1\r\n");
  for (const std::string& path : {coils, discrete, input, saved}) std::remove(path.c_str());
}

// A coil file is read as the window writes it, but a value a coil cannot hold is refused with its line.
TEST(SlaveProgramTest, BitFileRefusesValuesOtherThanZeroAndOne) {
  const std::string path = ScratchPath("coils-bad.csv");
  std::ofstream(path, std::ios::binary) << "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0002;2\r\n";
  const SlaveRun run = RunSlaveToEnd({"--pty", "--load", "co=" + path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("line 2: value 2 is not 0 or 1"), std::string::npos) << run.err;
  std::remove(path.c_str());
}

// Commands typed while the slave runs, what each prints, and a master's view of what they set: the next
// answer already shows it.
struct CommandCase {
  const char* typed;
  const char* printed;
};

TEST(SlaveProgramTest, GetAndSetTablesWhileRunning) {
  SlaveProcess slave({"--listen=127.0.0.1:0", "--unit", "1,2,17", "--quiet"});
  const CommandCase commands[] = {
      {"set 2:hr 10 0x1234 7", "set 2:hr 10 = 4660 7"},
      {"get 2:hr 9 3", "2:hr 9 = 0 4660 7"},
      {"  get   hr 10  ", "hr 10 = 0"},
      {"set co 0xFFFE 1 1", "set co 65534 = 1 1"},
      {"get co 65533 3", "co 65533 = 0 1 1"},
      {"set 17:di 0 1 0 1", "set 17:di 0 = 1 0 1"},
      {"set 1:ir 100 65535", "set 1:ir 100 = 65535"},
  };
  for (const CommandCase& c : commands) {
    ASSERT_TRUE(slave.Type(c.typed));
    EXPECT_EQ(slave.LineStartingWith(c.printed), c.printed) << c.typed;
  }
  modbus_t* master = TcpMaster(slave.TcpPort());
  uint16_t registers[2] = {};
  uint8_t bits[3] = {};
  modbus_set_slave(master, 2);
  ASSERT_EQ(modbus_read_registers(master, 10, 2, registers), 2);
  EXPECT_EQ(std::vector<uint16_t>(registers, registers + 2), (std::vector<uint16_t>{0x1234, 7}));
  ASSERT_EQ(modbus_write_bit(master, 5, 1), 1);
  modbus_set_slave(master, 1);
  ASSERT_EQ(modbus_read_bits(master, 65534, 2, bits), 2);
  EXPECT_EQ(std::vector<uint8_t>(bits, bits + 2), (std::vector<uint8_t>{1, 1}));
  ASSERT_EQ(modbus_read_input_registers(master, 100, 1, registers), 1);
  EXPECT_EQ(registers[0], 65535);
  modbus_set_slave(master, 17);
  ASSERT_EQ(modbus_read_input_bits(master, 0, 3, bits), 3);
  EXPECT_EQ(std::vector<uint8_t>(bits, bits + 3), (std::vector<uint8_t>{1, 0, 1}));
  // What a master wrote shows on the slave's side too.
  ASSERT_TRUE(slave.Type("get 2:co 5"));
  EXPECT_EQ(slave.LineStartingWith("2:co 5"), "2:co 5 = 1");
  ASSERT_TRUE(slave.Type("stats"));
  EXPECT_EQ(slave.LineStartingWith("stats TCP#1"), "stats TCP#1: 5 requests, 5 answers, 0 exceptions, 0 faults applied");
  EXPECT_EQ(slave.LineStartingWith("stats all"),
            "stats all: 5 requests, 5 answers, 0 exceptions, 0 faults applied, 1 TCP connections");
  CloseMaster(master);
}

// A command that cannot be carried out says why on standard error and changes nothing.
TEST(SlaveProgramTest, RefusedCommandsSayWhyAndChangeNothing) {
  SlaveProcess slave({"--pty", "--unit", "1,2", "--quiet"});
  const CommandCase refused[] = {
      {"set co 0 2", "value '2' is not 0 or 1"},
      {"set hr 0 65536", "value '65536' is not a number from 0 to 65535"},
      {"set 2:hr 65535 1 1", "addresses 65535 and on: 2 go past 65535"},
      {"get 3:hr 0", "unit 3 is not one of --unit"},
      {"get hr 0 2001", "COUNT from 1 to 2000"},
      {"get xx 0", "'xx' names no table"},
      {"get hr 0x10000", "address '0x10000' is not a number from 0 to 65535"},
      {"get hr", "expected get [UNIT:]TABLE ADDR [COUNT]"},
      {"set hr 1", "expected set [UNIT:]TABLE ADDR VALUE..."},
      {"stats now", "unknown command 'stats now'"},
  };
  for (const CommandCase& c : refused) ASSERT_TRUE(slave.Type(c.typed));
  ASSERT_TRUE(slave.Type("get hr 0 2"));
  EXPECT_EQ(slave.LineStartingWith("hr 0"), "hr 0 = 0 0");
  ASSERT_TRUE(slave.Type("get 2:hr 65535"));
  EXPECT_EQ(slave.LineStartingWith("2:hr 65535"), "2:hr 65535 = 0");
  ASSERT_EQ(slave.Stop(SIGTERM), 0);
  const std::string error = slave.ErrorOutput();
  size_t at = 0;
  for (const CommandCase& c : refused) {
    at = error.find(c.printed, at);
    EXPECT_NE(at, std::string::npos) << c.typed << " did not say, in its turn: " << c.printed << "\n" << error;
  }
}

struct CsvCase {
  const char* name;
  const char* text;
  const char* message;
};
void PrintTo(const CsvCase& c, std::ostream* os) { *os << c.name; }

class SlaveCsvRefusalTest : public ::testing::TestWithParam<CsvCase> {};

// A file that does not say one thing in both columns is refused with its line, not read with a guess.
TEST_P(SlaveCsvRefusalTest, NamesTheLine) {
  const std::string path = ScratchPath("bad.csv");
  std::ofstream(path, std::ios::binary) << GetParam().text;
  const SlaveRun run = RunSlaveToEnd({"--pty", "--load", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  std::remove(path.c_str());
}

const CsvCase kCsvCases[] = {
    {"NoHeader", "0x0001;1;$0001;1\r\n", "line 1: the header"},
    {"HexAndDecimalAddressDiffer", "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;2;$0001;1\r\n", "line 2: address"},
    {"HexAndDecimalValueDiffer", "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0001;2\r\n", "line 2: value"},
    {"ValueTooLarge", "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$10000;65536\r\n", "line 2: value"},
    {"FiveFields", "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0001;1;\r\n", "line 2: 4 fields"},
    {"Empty", "", "the file is empty"},
    {"ByteOrderMarkBeforeTheHeader", "\xEF\xBB\xBF" "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0001;x\r\n",
     "line 2: value"},
    {"HexAndDecimalDisagreeNamed", "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0010;10\r\n",
     "line 2: value '$0010' / '10': Hex and Dezimal disagree ($0010 is 16)"},
    {"LongFieldCut", "Adresse;Adresse dez.;Hex;Dezimal\r\n0x0001;1;$0001;1234567890123456789012345678901234567890123\r\n",
     "'1234567890123456789012345678901234567890...'"},
    {"BlankLineBeforeARow", "Adresse;Adresse dez.;Hex;Dezimal\r\n\r\n0x0001;1;$0001;1\r\n", "line 2: an empty line"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SlaveCsvRefusalTest, ::testing::ValuesIn(kCsvCases),
                         ByName);

// The faults that random=SEED draws for twelve RTU requests, as the slave's log names them.
std::vector<std::string> DrawnFaults(const std::string& mode) {
  SlaveProcess slave({"--pty", "--fault", mode});
  modbus_t* master = RtuMaster(slave.PtyPath(), 50);
  std::vector<std::string> drawn;
  for (int k = 0; k < 12; ++k) {
    uint16_t value = 0;
    modbus_read_registers(master, 0, 1, &value);
    const std::string line = slave.LineContaining("[fault ");
    drawn.push_back(line.substr(line.find("[fault ")));
  }
  CloseMaster(master);
  return drawn;
}

TEST(SlaveProgramTest, RandomFaultsRepeatWithTheirSeed) {
  const std::vector<std::string> first = DrawnFaults("random=7");
  EXPECT_EQ(DrawnFaults("random=7"), first);
  EXPECT_NE(DrawnFaults("random=8"), first);
}

}  // namespace
}  // namespace varnetik::testing
