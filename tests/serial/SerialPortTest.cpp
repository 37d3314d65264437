// The serial port on pseudo-terminals: exclusive open, ports other programs use, the line as configured,
// refusals, the write bound, and what becomes of a port that is closed, destroyed or handed over.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "serial/TermiosLine.h"
#include "serial/PortName.h"
#include "serial/SerialPort.h"
#include "tests/serial/OtherProcess.h"
#include "tests/serial/TerminalPair.h"
#include "tests/support/CaseNames.h"

namespace varnetik {
namespace {

using testing::ByName;
using testing::ElapsedMs;
using testing::OtherProcess;
using testing::TerminalPair;

TEST(PortNameTest, MapsTypedNamesToDevicePaths) {
  const struct {
    const char* typed;
    const char* path;
  } cases[] = {
      {"/dev/pts/3", "/dev/pts/3"}, {"COM1", "/dev/ttyS0"},     {"com3", "/dev/ttyS2"},
      {"Com64", "/dev/ttyS63"},     {"ttyUSB0", "/dev/ttyUSB0"}, {"COM0", "/dev/COM0"},
      {"COM3x", "/dev/COM3x"},      {"COM", "/dev/COM"},         {" COM3", "/dev/ COM3"},
      {"", "/dev/"},
  };
  for (const auto& c : cases) EXPECT_EQ(DevicePathForPortName(c.typed), c.path) << c.typed;
}

struct LineCase {
  LineSettings line;
  speed_t speed;
  tcflag_t characterSize;
};

const LineCase kLineCases[] = {
    {{9600, kParityNone, 8, 1.0f, 0}, B9600, CS8},
    {{19200, kParityEven, 7, 2.0f, 0}, B19200, CS7},
    {{115200, kParityOdd, 8, 2.0f, 0}, B115200, CS8},
    {{1200, kParityOdd, 7, 1.0f, 0}, B1200, CS7},
};

const LineSettings k9600{9600, kParityNone, 8, 1.0f, 0};

// Raw, no flow control of either kind, parity checked on input only when parity is on.
void ExpectRawLine(const termios& t, const LineCase& c) {
  EXPECT_EQ(cfgetispeed(&t), c.speed);
  EXPECT_EQ(cfgetospeed(&t), c.speed);
  EXPECT_EQ((t.c_cflag & PARODD) != 0, c.line.parity == kParityOdd);
  EXPECT_EQ((t.c_iflag & INPCK) != 0, c.line.parity != kParityNone);
  EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.line.stopBits == 2.0f);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | BRKINT), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST(LineSettingsTest, TurnsAnyDriverStateIntoTheRequestedRawLine) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.line.baudRate);
    termios t{};
    t.c_iflag = t.c_oflag = t.c_lflag = t.c_cflag = ~tcflag_t{0};  // every flag on, flow control included
    t.c_cc[VMIN] = 1;
    ASSERT_TRUE(ApplyLineSettings(t, c.line));
    ExpectRawLine(t, c);
    EXPECT_EQ(t.c_cflag & CSIZE, c.characterSize);
    EXPECT_EQ((t.c_cflag & PARENB) != 0, c.line.parity != kParityNone);
    EXPECT_EQ(t.c_cflag & CMSPAR, 0u);
  }
}

TEST(SerialPortTest, ConfiguresTheTerminalItOpens) {
  // A fresh terminal echoes, edits lines and has XON/XOFF on; the open must undo all of it. A
  // pseudo-terminal always reports 8 bits without parity, so those two are checked above.
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.line.baudRate);
    TerminalPair pair;
    ASSERT_NE(pair.TerminalSettings().c_iflag & IXON, 0u);
    SerialPort port;
    ASSERT_TRUE(port.Open(pair.Path(), c.line, 4096, 4096));
    ExpectRawLine(pair.TerminalSettings(), c);
  }
}

TEST(SerialPortTest, RefusesSettingsWithoutATermiosFormAndLeavesThePortFree) {
  const LineSettings cases[] = {
      {14400, 0, 8, 1.0f, 0}, {0, 0, 8, 1.0f, 0}, {-9600, 0, 8, 1.0f, 0},
      {9600, 3, 8, 1.0f, 0},  {9600, 0, 9, 1.0f, 0}, {9600, 0, 8, 1.5f, 0},
  };
  TerminalPair pair;
  SerialPort port;
  for (const LineSettings& c : cases) {
    EXPECT_FALSE(port.Open(pair.Path(), c, 64, 64))
        << c.baudRate << " " << c.parity << " " << c.dataBits << " " << c.stopBits;
    EXPECT_FALSE(port.IsOpen());
  }
  EXPECT_TRUE(port.Open(pair.Path(), k9600, 64, 64));
}

TEST(SerialPortTest, OpensExclusively) {
  TerminalPair pair;
  SerialPort first;
  ASSERT_TRUE(first.Open(pair.Path(), k9600, 4096, 4096));
  SerialPort second;
  EXPECT_FALSE(second.Open(pair.Path(), k9600, 64, 64));
  first.Close();

  // Another program holding the lock or the exclusive flag keeps the port from us, too; the refused
  // open leaves that program's port as it was.
  ASSERT_EQ(flock(pair.TerminalFd(), LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(second.Open(pair.Path(), k9600, 64, 64));
  int exclusive = -1;
  ASSERT_EQ(ioctl(pair.TerminalFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  flock(pair.TerminalFd(), LOCK_UN);
  ASSERT_EQ(ioctl(pair.TerminalFd(), TIOCEXCL), 0);
  EXPECT_FALSE(second.Open(pair.Path(), k9600, 64, 64));
  ioctl(pair.TerminalFd(), TIOCNXCL);

  EXPECT_TRUE(second.Open(pair.Path(), k9600, 64, 64));
}

// Another program and the port: it opened the port plainly, it holds the port's lock file, it held the
// lock and ended without removing it, or it made the pseudo-terminal pair and holds both ends (socat).
enum class OtherProgram { OpenedThePort, HoldsTheLock, LeftAStaleLock, MadeThePair, None };

struct InUseCase {
  const char* name;
  OtherProgram other;
  bool lockDirectoryExists;
  bool opens;
};

const InUseCase kInUseCases[] = {
    {"OpenedPlainlyByAnotherProgram", OtherProgram::OpenedThePort, true, false},
    {"LockedByARunningProgram", OtherProgram::HoldsTheLock, true, false},
    {"StaleLockIsTakenOver", OtherProgram::LeftAStaleLock, true, true},
    {"PairHeldByItsMaker", OtherProgram::MadeThePair, true, true},
    {"NoLockDirectory", OtherProgram::None, false, true},
};

void PrintTo(const InUseCase& c, std::ostream* out) { *out << c.name; }

std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string LockText(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

void ExpectSameLine(const termios& before, const termios& after) {
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  for (size_t i = 0; i < NCCS; ++i) EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << i;
}

// A lock directory of the test's own, so that no lock of the machine is touched.
class LockDirectory {
 public:
  LockDirectory() {
    char pattern[] = "/tmp/varnetik-lock-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    path = pattern;
  }
  ~LockDirectory() { std::filesystem::remove_all(path); }

  std::filesystem::path LockFileOf(const std::string& device) const {
    return path / ("LCK.." + std::filesystem::path(device).filename().string());
  }

  std::filesystem::path path;
};

class SerialPortInUseTest : public ::testing::TestWithParam<InUseCase> {
 protected:
  void SetUp() override {
    rules.lockDirectory = GetParam().lockDirectoryExists ? locks.path.string() : (locks.path / "missing").string();
  }

  std::filesystem::path LockFileOf(const std::string& path) const { return locks.LockFileOf(path); }

  LockDirectory locks;
  PortClaimRules rules;
};

TEST_P(SerialPortInUseTest, OpensOnlyAPortNoOtherProgramUses) {
  TerminalPair pair;
  std::string path = pair.Path();
  std::optional<OtherProcess> other;
  switch (GetParam().other) {
    case OtherProgram::OpenedThePort: other.emplace(OtherProcess::Holds::Terminal, path); break;
    case OtherProgram::HoldsTheLock:
      other.emplace(OtherProcess::Holds::Nothing);
      std::ofstream(LockFileOf(path)) << LockText(other->Pid());
      break;
    case OtherProgram::LeftAStaleLock:
      std::ofstream(LockFileOf(path)) << LockText(testing::PidOfAnEndedProcess());
      break;
    case OtherProgram::MadeThePair:
      other.emplace(OtherProcess::Holds::OwnPair);
      path = other->PairPath();
      break;
    case OtherProgram::None: break;
  }
  rules.users = PortUsers::Gather();  // as a scan would see the machine now
  const termios before = pair.TerminalSettings();
  const std::string lockBefore = FileText(LockFileOf(path));

  SerialPort port;
  const bool opened = port.Open(path, LineSettings{19200, kParityEven, 8, 2.0f, 0}, 64, 64, rules);
  if (!GetParam().opens) {
    EXPECT_FALSE(opened);
    ExpectSameLine(before, pair.TerminalSettings());
    EXPECT_EQ(FileText(LockFileOf(path)), lockBefore) << "another program's lock was touched";
    return;
  }
  ASSERT_TRUE(opened);
  if (GetParam().lockDirectoryExists) {
    EXPECT_EQ(FileText(LockFileOf(path)), LockText(getpid()));
  }
  port.Close();
  EXPECT_FALSE(std::filesystem::exists(LockFileOf(path))) << "the lock outlived the port";
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortInUseTest, ::testing::ValuesIn(kInUseCases),
                         ByName);

TEST(SerialPortTest, MissingDeviceAndNonTerminalAreNotOpened) {
  EXPECT_FALSE(SerialPort().Open("/dev/varnetik-no-such-port", k9600, 64, 64));
  EXPECT_FALSE(SerialPort().Open("/dev/null", k9600, 64, 64));
}

// What becomes of a port object that holds line A: closed, destroyed, a refused open of another port,
// handed over to a new object, or handed over to one that held line B.
enum class Fate { Closed, Destroyed, RefusedReopen, MovedIntoANewPort, MovedOverAPortOnB };

struct FateCase {
  const char* name;
  Fate fate;
};

const FateCase kFateCases[] = {
    {"Closed", Fate::Closed},
    {"Destroyed", Fate::Destroyed},
    {"RefusedReopen", Fate::RefusedReopen},
    {"MovedIntoANewPort", Fate::MovedIntoANewPort},
    {"MovedOverAPortOnAnotherLine", Fate::MovedOverAPortOnB},
};

void PrintTo(const FateCase& c, std::ostream* out) { *out << c.name; }

class SerialPortOwnershipTest : public ::testing::TestWithParam<FateCase> {
 protected:
  void SetUp() override {
    rules.lockDirectory = locks.path.string();
    ASSERT_TRUE(port->Open(a.Path(), k9600, 64, 64, rules));
  }

  // Nobody holds the line: no lock file, and it opens again.
  bool Free(const TerminalPair& line) {
    return !std::filesystem::exists(locks.LockFileOf(line.Path())) &&
           SerialPort().Open(line.Path(), k9600, 64, 64, rules);
  }

  void ExpectHeldBy(SerialPort& holder, const TerminalPair& line) {
    EXPECT_TRUE(std::filesystem::exists(locks.LockFileOf(line.Path())));
    const uint8_t byte = 0x5A;
    EXPECT_EQ(holder.Write(&byte, 1), 1);
    EXPECT_EQ(line.Receive(1), std::vector<uint8_t>{byte});
  }

  // An empty port reaches nothing, not even a descriptor that took over the number its device had.
  static void ExpectEmpty(SerialPort& empty) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    uint8_t byte = 0x42;
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(empty.Write(&byte, 1), 0);
    EXPECT_EQ(empty.Read(&byte, 1), 0);
    EXPECT_EQ(empty.BytesWaiting(), 0);
    EXPECT_FALSE(empty.SetTimeouts(PortTimeouts{}));
    empty.Close();
    int queued = -1;
    EXPECT_EQ(ioctl(ends[0], FIONREAD, &queued), 0) << "a descriptor it does not own was closed";
    EXPECT_EQ(queued, 0) << "a byte went into a descriptor it does not own";
    close(ends[0]);
    close(ends[1]);
  }

  LockDirectory locks;
  PortClaimRules rules;
  TerminalPair a, b;
  std::optional<SerialPort> port{std::in_place};
  std::optional<SerialPort> heir;  // where the port was handed over to
};

TEST_P(SerialPortOwnershipTest, OnlyTheLastOwnerReachesTheLineAndItsGoingFreesIt) {
  switch (GetParam().fate) {
    case Fate::Closed: port->Close(); break;
    case Fate::Destroyed: port.reset(); break;
    case Fate::RefusedReopen: EXPECT_FALSE(port->Open("/dev/varnetik-no-such-port", k9600, 64, 64, rules)); break;
    case Fate::MovedIntoANewPort: heir.emplace(std::move(*port)); break;
    case Fate::MovedOverAPortOnB:
      heir.emplace();
      ASSERT_TRUE(heir->Open(b.Path(), k9600, 64, 64, rules));
      *heir = std::move(*port);
      EXPECT_TRUE(Free(b)) << "the port the assignment replaced was kept";
      break;
  }
  if (port) ExpectEmpty(*port);
  if (heir) {
    ExpectHeldBy(*heir, a);
    heir.reset();
  }
  EXPECT_TRUE(Free(a));
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortOwnershipTest, ::testing::ValuesIn(kFateCases),
                         ByName);

TEST(SerialPortTest, WriteGivesUpAtItsBoundWhenTheLineTakesNothing) {
  TerminalPair pair;  // the master never reads, so the kernel's buffers fill up
  SerialPort port;
  ASSERT_TRUE(port.Open(pair.Path(), k9600, 4096, 4096));
  ASSERT_TRUE(port.SetTimeouts(PortTimeouts{0, 0, 0, 200, 0}));
  std::vector<uint8_t> bytes(1 << 20, 0x55);
  const auto start = std::chrono::steady_clock::now();
  int64_t written = port.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  const int64_t elapsed = ElapsedMs(start);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int64_t>(bytes.size()));
  EXPECT_GE(elapsed, 190);
  EXPECT_LT(elapsed, 3000);
}

}  // namespace
}  // namespace varnetik
