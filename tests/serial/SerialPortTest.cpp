// The serial-port service on pseudo-terminals: exclusive open, ports other programs use, the line as
// configured, refusals, the write bound, and identifiers it does not own.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "serial/TermiosLine.h"
#include "serial/PortName.h"
#include "serial/SerialPort.h"
#include "tests/serial/OtherProcess.h"
#include "tests/serial/TerminalPair.h"

namespace varnetik {
namespace {

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
  int64_t baudRate;
  int64_t parity;
  int64_t dataBits;
  float stopBits;
  speed_t speed;
  tcflag_t characterSize;
};

const LineCase kLineCases[] = {
    {9600, 0, 8, 1.0f, B9600, CS8},
    {19200, 2, 7, 2.0f, B19200, CS7},
    {115200, 1, 8, 2.0f, B115200, CS8},
    {1200, 1, 7, 1.0f, B1200, CS7},
};

// Raw, no flow control of either kind, parity checked on input only when parity is on.
void ExpectRawLine(const termios& t, const LineCase& c) {
  EXPECT_EQ(cfgetispeed(&t), c.speed);
  EXPECT_EQ(cfgetospeed(&t), c.speed);
  EXPECT_EQ((t.c_cflag & PARODD) != 0, c.parity == 1);
  EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != 0);
  EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stopBits == 2.0f);
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
    SCOPED_TRACE(c.baudRate);
    termios t{};
    t.c_iflag = t.c_oflag = t.c_lflag = t.c_cflag = ~tcflag_t{0};  // every flag on, flow control included
    t.c_cc[VMIN] = 1;
    ASSERT_TRUE(ApplyLineSettings(t, LineSettings{c.baudRate, c.parity, c.dataBits, c.stopBits, 0}));
    ExpectRawLine(t, c);
    EXPECT_EQ(t.c_cflag & CSIZE, c.characterSize);
    EXPECT_EQ((t.c_cflag & PARENB) != 0, c.parity != 0);
    EXPECT_EQ(t.c_cflag & CMSPAR, 0u);
  }
}

TEST(SerialPortTest, ConfiguresTheTerminalItOpens) {
  // A fresh terminal echoes, edits lines and has XON/XOFF on; the open must undo all of it. A
  // pseudo-terminal always reports 8 bits without parity, so those two are checked above.
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.baudRate);
    TerminalPair pair;
    ASSERT_NE(pair.TerminalSettings().c_iflag & IXON, 0u);
    int64_t port = SerialOpen(pair.Path(), c.baudRate, c.parity, c.dataBits, c.stopBits, 0, 4096, 4096);
    ASSERT_NE(port, kNoSerialPort);
    ExpectRawLine(pair.TerminalSettings(), c);
    SerialClose(port);
  }
}

TEST(SerialPortTest, RefusesSettingsWithoutATermiosFormAndLeavesThePortFree) {
  const struct {
    int64_t baudRate;
    int64_t parity;
    int64_t dataBits;
    float stopBits;
  } cases[] = {
      {14400, 0, 8, 1.0f}, {0, 0, 8, 1.0f}, {-9600, 0, 8, 1.0f},
      {9600, 3, 8, 1.0f},  {9600, 0, 9, 1.0f}, {9600, 0, 8, 1.5f},
  };
  TerminalPair pair;
  for (const auto& c : cases) {
    EXPECT_EQ(SerialOpen(pair.Path(), c.baudRate, c.parity, c.dataBits, c.stopBits, 0, 64, 64),
              kNoSerialPort)
        << c.baudRate << " " << c.parity << " " << c.dataBits << " " << c.stopBits;
  }
  int64_t port = SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 64, 64);
  EXPECT_NE(port, kNoSerialPort);
  SerialClose(port);
}

TEST(SerialPortTest, OpensExclusively) {
  TerminalPair pair;
  int64_t first = SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 4096, 4096);
  ASSERT_NE(first, kNoSerialPort);
  EXPECT_EQ(SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 64, 64), kNoSerialPort);
  SerialClose(first);

  // Another program holding the lock or the exclusive flag keeps the port from us, too; the refused
  // open leaves that program's port as it was.
  ASSERT_EQ(flock(pair.TerminalFd(), LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 64, 64), kNoSerialPort);
  int exclusive = -1;
  ASSERT_EQ(ioctl(pair.TerminalFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  flock(pair.TerminalFd(), LOCK_UN);
  ASSERT_EQ(ioctl(pair.TerminalFd(), TIOCEXCL), 0);
  EXPECT_EQ(SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 64, 64), kNoSerialPort);
  ioctl(pair.TerminalFd(), TIOCNXCL);

  int64_t again = SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 64, 64);
  EXPECT_NE(again, kNoSerialPort);
  SerialClose(again);
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

class SerialPortInUseTest : public ::testing::TestWithParam<InUseCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/varnetik-lock-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    rules.lockDirectory = GetParam().lockDirectoryExists ? dir.string() : (dir / "missing").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::filesystem::path LockFileOf(const std::string& path) const {
    return dir / ("LCK.." + std::filesystem::path(path).filename().string());
  }

  std::filesystem::path dir;
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

  const int64_t port = SerialOpen(path, 19200, 2, 8, 2.0f, 0, 64, 64, rules);
  if (!GetParam().opens) {
    EXPECT_EQ(port, kNoSerialPort);
    ExpectSameLine(before, pair.TerminalSettings());
    EXPECT_EQ(FileText(LockFileOf(path)), lockBefore) << "another program's lock was touched";
    return;
  }
  ASSERT_NE(port, kNoSerialPort);
  if (GetParam().lockDirectoryExists) {
    EXPECT_EQ(FileText(LockFileOf(path)), LockText(getpid()));
  }
  SerialClose(port);
  EXPECT_FALSE(std::filesystem::exists(LockFileOf(path))) << "the lock outlived the port";
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortInUseTest, ::testing::ValuesIn(kInUseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SerialPortTest, MissingDeviceAndNonTerminalAreNotOpened) {
  EXPECT_EQ(SerialOpen("/dev/varnetik-no-such-port", 9600, 0, 8, 1.0f, 0, 64, 64), kNoSerialPort);
  EXPECT_EQ(SerialOpen("/dev/null", 9600, 0, 8, 1.0f, 0, 64, 64), kNoSerialPort);
}

TEST(SerialPortTest, LeavesDescriptorsItDidNotOpenAlone) {
  int foreign = open("/dev/null", O_RDWR | O_CLOEXEC);
  ASSERT_GE(foreign, 0);
  uint8_t byte = 0;
  EXPECT_EQ(SerialWrite(foreign, &byte, 1), 0);
  EXPECT_EQ(SerialRead(foreign, &byte, 1), 0);
  EXPECT_EQ(SerialBytesWaiting(foreign), 0);
  EXPECT_FALSE(SerialSetTimeouts(foreign, 0, 0, 0, 0, 0));
  SerialClose(foreign);
  EXPECT_NE(fcntl(foreign, F_GETFD), -1) << "a foreign descriptor was closed";
  close(foreign);
}

TEST(SerialPortTest, WriteGivesUpAtItsBoundWhenTheLineTakesNothing) {
  TerminalPair pair;  // the master never reads, so the kernel's buffers fill up
  int64_t port = SerialOpen(pair.Path(), 9600, 0, 8, 1.0f, 0, 4096, 4096);
  ASSERT_NE(port, kNoSerialPort);
  ASSERT_TRUE(SerialSetTimeouts(port, 0, 0, 0, 200, 0));
  std::vector<uint8_t> bytes(1 << 20, 0x55);
  const auto start = std::chrono::steady_clock::now();
  int64_t written = SerialWrite(port, bytes.data(), static_cast<int64_t>(bytes.size()));
  const int64_t elapsed = ElapsedMs(start);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int64_t>(bytes.size()));
  EXPECT_GE(elapsed, 190);
  EXPECT_LT(elapsed, 3000);
  SerialClose(port);
}

}  // namespace
}  // namespace varnetik
