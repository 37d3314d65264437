// The serial port on pseudo-terminals: exclusive open, ports other programs use, the line as configured,
// refusals, the write bound, and what becomes of a port that is closed, destroyed or handed over.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "serial/TermiosLine.h"
#include "serial/PortName.h"
#include "serial/SerialPort.h"
#include "tests/serial/FakeSystem.h"
#include "tests/serial/OtherProcess.h"
#include "tests/serial/TerminalPair.h"
#include "tests/support/CaseNames.h"

namespace varnetik {
namespace {

using testing::ByName;
using testing::ElapsedMs;
using testing::ExpectSameLine;
using testing::FileText;
using testing::LockDirectory;
using testing::TestLockDirectories;
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

// Another program and the port: it opened the port plainly, it holds the port's lock file (in one of
// the forms lock users write), it held the lock and ended without removing it, or it made the
// pseudo-terminal pair and holds both ends (socat). Some put there what no lock user writes: a FIFO,
// which would block a plain open for ever, a link, or text without a process id.
enum class OtherProgram {
  OpenedThePort,
  HoldsTheLock,
  LeftAStaleLock,
  MadeThePair,
  None,
  HoldsABinaryLock,                // microcom writes the id as the four bytes of an int
  HoldsTheMinicomLock,             // LCK..pts_N for /dev/pts/N
  LeftAStaleMinicomLock,
  JustWroteALockWithoutId,
  LeftALockWithoutIdLongAgo,
  OpenedThePortAndLeftALockWithoutId,
  PlantedAFifo,
  PlantedALink,
  LockNamesThisProcess,            // written by an earlier process that had this one's id
  HoldsTheLockInTheOldDirectory,   // /var/lock beside /run/lock
};

// Which of the two lock directories (/run/lock, /var/lock) exist.
enum class LockPlaces { Both, OnlyTheOldOne, Neither };

struct InUseCase {
  const char* name;
  OtherProgram other;
  LockPlaces places;
  PortRefusal refusal;  // None: the port opens
};

const InUseCase kInUseCases[] = {
    {"OpenedPlainlyByAnotherProgram", OtherProgram::OpenedThePort, LockPlaces::Both, PortRefusal::InUse},
    {"LockedByARunningProgram", OtherProgram::HoldsTheLock, LockPlaces::Both, PortRefusal::Locked},
    {"StaleLockIsTakenOver", OtherProgram::LeftAStaleLock, LockPlaces::Both, PortRefusal::None},
    {"PairHeldByItsMaker", OtherProgram::MadeThePair, LockPlaces::Both, PortRefusal::None},
    {"NoLockDirectory", OtherProgram::None, LockPlaces::Neither, PortRefusal::None},
    {"BinaryLockOfARunningProgram", OtherProgram::HoldsABinaryLock, LockPlaces::Both, PortRefusal::Locked},
    {"MinicomLockOfARunningProgram", OtherProgram::HoldsTheMinicomLock, LockPlaces::Both, PortRefusal::Locked},
    {"StaleMinicomLockIsTakenOver", OtherProgram::LeftAStaleMinicomLock, LockPlaces::Both, PortRefusal::None},
    {"FreshLockWithoutIdIsHeld", OtherProgram::JustWroteALockWithoutId, LockPlaces::Both, PortRefusal::Locked},
    {"OldLockWithoutIdIsTakenOver", OtherProgram::LeftALockWithoutIdLongAgo, LockPlaces::Both, PortRefusal::None},
    {"LockWithoutIdOfAProgramOnTheLine", OtherProgram::OpenedThePortAndLeftALockWithoutId, LockPlaces::Both,
     PortRefusal::InUse},
    {"FifoAsLockDoesNotHang", OtherProgram::PlantedAFifo, LockPlaces::Both, PortRefusal::Locked},
    {"LinkAsLock", OtherProgram::PlantedALink, LockPlaces::Both, PortRefusal::Locked},
    {"LockWithOwnIdNotHeldIsStale", OtherProgram::LockNamesThisProcess, LockPlaces::Both, PortRefusal::None},
    {"LockInTheOldDirectory", OtherProgram::HoldsTheLockInTheOldDirectory, LockPlaces::Both, PortRefusal::Locked},
    {"OnlyTheOldDirectory", OtherProgram::None, LockPlaces::OnlyTheOldOne, PortRefusal::None},
};

void PrintTo(const InUseCase& c, std::ostream* out) { *out << c.name; }

// What lies at a lock's path, read without ever waiting on it.
std::string LockSnapshot(const std::filesystem::path& path) {
  const auto status = std::filesystem::symlink_status(path);
  if (std::filesystem::is_symlink(status)) return "link to " + std::filesystem::read_symlink(path).string();
  if (std::filesystem::is_fifo(status)) return "fifo";
  if (!std::filesystem::exists(status)) return "nothing";
  return FileText(path);
}

std::string LockText(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

class SerialPortInUseTest : public ::testing::TestWithParam<InUseCase> {
 protected:
  // Where this case plants the other program's lock, and where a lock of ours is expected.
  std::filesystem::path PlantedLock(const std::string& path, const char* prefix = "") const {
    const LockDirectory& directory =
        GetParam().other == OtherProgram::HoldsTheLockInTheOldDirectory ? locks.fallback : locks.primary;
    return directory.path / (std::string("LCK..") + prefix + std::filesystem::path(path).filename().string());
  }
  std::filesystem::path OurLockDirectory() const {
    return GetParam().places == LockPlaces::Both ? locks.primary.path : locks.fallback.path;
  }

  TestLockDirectories locks;
};

TEST_P(SerialPortInUseTest, OpensOnlyAPortNoOtherProgramUses) {
  TerminalPair pair;
  std::string path = pair.Path();
  std::optional<OtherProcess> other;
  std::filesystem::path planted = PlantedLock(path);
  const auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
  switch (GetParam().other) {
    case OtherProgram::OpenedThePort: other.emplace(OtherProcess::Holds::Terminal, path); break;
    case OtherProgram::HoldsTheLock:
    case OtherProgram::HoldsTheLockInTheOldDirectory:
      other.emplace(OtherProcess::Holds::Nothing);
      std::ofstream(planted) << LockText(other->Pid());
      break;
    case OtherProgram::LeftAStaleLock:
      std::ofstream(planted) << LockText(testing::PidOfAnEndedProcess());
      break;
    case OtherProgram::MadeThePair:
      other.emplace(OtherProcess::Holds::OwnPair);
      path = other->PairPath();
      planted = PlantedLock(path);
      break;
    case OtherProgram::None: break;
    case OtherProgram::HoldsABinaryLock: {
      other.emplace(OtherProcess::Holds::Nothing);
      const int32_t id = other->Pid();
      std::ofstream(planted, std::ios::binary).write(reinterpret_cast<const char*>(&id), sizeof id);
      break;
    }
    case OtherProgram::HoldsTheMinicomLock:
      other.emplace(OtherProcess::Holds::Nothing);
      planted = PlantedLock(path, "pts_");
      std::ofstream(planted) << LockText(other->Pid());
      break;
    case OtherProgram::LeftAStaleMinicomLock:
      planted = PlantedLock(path, "pts_");
      std::ofstream(planted) << LockText(testing::PidOfAnEndedProcess());
      break;
    case OtherProgram::JustWroteALockWithoutId: std::ofstream(planted) << "busy\n"; break;
    case OtherProgram::LeftALockWithoutIdLongAgo:
      std::ofstream(planted) << "busy\n";
      std::filesystem::last_write_time(planted, longAgo);
      break;
    case OtherProgram::OpenedThePortAndLeftALockWithoutId:
      other.emplace(OtherProcess::Holds::Terminal, path);
      std::ofstream(planted) << "busy\n";
      std::filesystem::last_write_time(planted, longAgo);
      break;
    case OtherProgram::PlantedAFifo: ASSERT_EQ(mkfifo(planted.c_str(), 0644), 0); break;
    case OtherProgram::PlantedALink: std::filesystem::create_symlink("/etc/hostname", planted); break;
    case OtherProgram::LockNamesThisProcess: std::ofstream(planted) << LockText(getpid()); break;
  }
  if (GetParam().places != LockPlaces::Both) std::filesystem::remove_all(locks.primary.path);
  if (GetParam().places == LockPlaces::Neither) std::filesystem::remove_all(locks.fallback.path);
  const PortClaimRules rules{.paths = {.lockDirectories = locks.Paths()}};  // the machine as it is now
  const termios before = pair.TerminalSettings();
  const std::string lockBefore = LockSnapshot(planted);

  SerialPort port;
  const PortOpenResult opened = port.Open(path, LineSettings{19200, kParityEven, 8, 2.0f, 0}, 64, 64, rules);
  EXPECT_EQ(opened.refusal, GetParam().refusal);
  if (!opened) {
    EXPECT_FALSE(port.IsOpen());
    ExpectSameLine(before, pair.TerminalSettings());
    EXPECT_EQ(LockSnapshot(planted), lockBefore) << "another program's lock was touched";
    if (other && GetParam().other != OtherProgram::OpenedThePortAndLeftALockWithoutId) {
      EXPECT_EQ(opened.otherPid, other->Pid());
      EXPECT_FALSE(opened.otherProgram.empty());
    }
    return;
  }
  ASSERT_TRUE(port.IsOpen());
  EXPECT_EQ(opened.withoutLockFile, GetParam().places == LockPlaces::Neither);
  std::vector<std::filesystem::path> ours;
  if (GetParam().places != LockPlaces::Neither) {
    for (const std::string& name : LockNamesOf(path)) ours.push_back(OurLockDirectory() / ("LCK.." + name));
  }
  for (const auto& lock : ours) EXPECT_EQ(FileText(lock), LockText(getpid())) << lock;
  port.Close();
  for (const auto& lock : ours) EXPECT_FALSE(std::filesystem::exists(lock)) << lock << " outlived the port";
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortInUseTest, ::testing::ValuesIn(kInUseCases),
                         ByName);

// Other programs as a /proc of the test's own shows them. A descriptor is followed only when its link
// reads as a path under /dev/: behind any other path may lie a stalled network or FUSE mount, and
// following it would freeze the open. A process whose descriptors cannot be read is counted, and the
// open says so; one that ended meanwhile is not.
enum class OtherProcessKind { HoldsThePort, HoldsItThroughAPathOutsideDev, ClosedToUs, Ended, None };

struct ProcCase {
  const char* name;
  OtherProcessKind kind;
  PortRefusal refusal;
  bool othersUnchecked;
};

const ProcCase kProcCases[] = {
    {"HolderIsNamed", OtherProcessKind::HoldsThePort, PortRefusal::InUse, false},
    {"PathOutsideDevIsNotFollowed", OtherProcessKind::HoldsItThroughAPathOutsideDev, PortRefusal::None, false},
    {"ProcessClosedToUsIsCounted", OtherProcessKind::ClosedToUs, PortRefusal::None, true},
    {"EndedProcessIsNotCounted", OtherProcessKind::Ended, PortRefusal::None, false},
    {"NobodyElse", OtherProcessKind::None, PortRefusal::None, false},
};

void PrintTo(const ProcCase& c, std::ostream* out) { *out << c.name; }

class SerialPortProcTest : public ::testing::TestWithParam<ProcCase> {};

TEST_P(SerialPortProcTest, SeesOtherProgramsOnlyWhereItCanLookSafely) {
  constexpr int kOtherPid = 4711;
  TerminalPair pair;
  testing::FakeProcTree proc;
  TestLockDirectories locks;
  testing::TemporaryDirectory elsewhere;
  switch (GetParam().kind) {
    case OtherProcessKind::HoldsThePort: proc.AddProcess(kOtherPid, "picocom", {"/dev/null", pair.Path()}); break;
    case OtherProcessKind::HoldsItThroughAPathOutsideDev: {
      const std::filesystem::path outside = elsewhere.path / "mount" / "port";
      std::filesystem::create_directories(outside.parent_path());
      std::filesystem::create_symlink(pair.Path(), outside);
      proc.AddProcess(kOtherPid, "picocom", {outside.string()});
      break;
    }
    case OtherProcessKind::ClosedToUs: proc.AddClosedProcess(kOtherPid); break;
    case OtherProcessKind::Ended: std::filesystem::create_directories(proc.path / std::to_string(kOtherPid)); break;
    case OtherProcessKind::None: break;
  }
  const PortClaimRules rules{.paths = {.procRoot = proc.path.string(), .lockDirectories = locks.Paths()}};
  EXPECT_EQ(rules.users.Uninspected(), GetParam().othersUnchecked ? 1 : 0);

  SerialPort port;
  const PortOpenResult opened = port.Open(pair.Path(), k9600, 64, 64, rules);
  EXPECT_EQ(opened.refusal, GetParam().refusal);
  EXPECT_EQ(opened.othersUnchecked, GetParam().othersUnchecked);
  if (GetParam().refusal == PortRefusal::InUse) {
    EXPECT_EQ(opened.otherPid, kOtherPid);
    EXPECT_EQ(opened.otherProgram, "picocom");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortProcTest, ::testing::ValuesIn(kProcCases), ByName);

// A pseudo-terminal's number is only unique within its devpts instance (every container has one), so a
// process holding pts 3 of another instance does not hold ours; a real port is one device whichever
// node names it.
TEST(PortUsersTest, PseudoTerminalsAreComparedByNodeAndPortsByNumber) {
  const dev_t pts3 = makedev(136, 3);
  const dev_t ttyS0 = makedev(4, 64);
  const struct {
    const char* name;
    DeviceIdentity held;
    DeviceIdentity port;
    bool same;
  } cases[] = {
      {"SamePty", {pts3, 20, 6}, {pts3, 20, 6}, true},
      {"PtyOfAnotherDevptsInstance", {pts3, 21, 6}, {pts3, 20, 6}, false},
      {"OtherPty", {makedev(136, 4), 20, 7}, {pts3, 20, 6}, false},
      {"PortThroughAnotherNode", {ttyS0, 5, 300}, {ttyS0, 6, 12}, true},
      {"OtherPort", {makedev(4, 65), 5, 301}, {ttyS0, 5, 300}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSameDevice(c.held, c.port), c.same) << c.name;
}

// Two programs that start together against one stale lock: the pause holds each of them after it has
// read the lock as stale and before it removes it, until both have read it, so every round forces the
// race. Exactly one may come out owning the port, and the lock file must name that one.
class StaleLockRace {
 public:
  static constexpr int kTakers = 2;

  StaleLockRace() {
    if (pipe(arrived_) != 0 || pipe(go_) != 0) std::abort();
    arrivedFd = arrived_[1];
    goFd = go_[0];
    SetStaleLockPauseForTesting(&PauseUntilBothHaveRead);
  }
  ~StaleLockRace() {
    SetStaleLockPauseForTesting(nullptr);
    for (int fd : {arrived_[0], arrived_[1], go_[0], go_[1]}) close(fd);
  }

  // Both takers are at the pause; let them on.
  bool ReleaseBothOnceThere() {
    for (int waiting = 0; waiting < kTakers; ++waiting) {
      char byte = 0;
      if (!ReadWithin(arrived_[0], byte)) return false;
    }
    const char go[kTakers] = {'g', 'g'};
    return write(go_[1], go, sizeof go) == sizeof go;
  }

  // One byte from fd; false when none comes within a generous bound (a taker that never arrives).
  static bool ReadWithin(int fd, char& byte) {
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, 10000) == 1 && read(fd, &byte, 1) == 1;
  }

 private:
  // Each taker is a fresh child and pauses at its first reading only: a taker that comes round again
  // (the other one holds its turn on the stale file) goes straight on.
  static void PauseUntilBothHaveRead() {
    static bool paused = false;
    if (std::exchange(paused, true)) return;
    char byte = 'a';
    if (write(arrivedFd, &byte, 1) != 1 || read(goFd, &byte, 1) != 1) _exit(3);
  }

  static inline int arrivedFd = -1;
  static inline int goFd = -1;
  int arrived_[2] = {-1, -1};
  int go_[2] = {-1, -1};
};

TEST(SerialPortTest, TwoTakersOfAStaleLockNeverBothOwnThePort) {
  constexpr int kRounds = 200;
  TerminalPair pair;
  TestLockDirectories locks;
  testing::TemporaryDirectory noProcesses;  // the race is about the lock alone
  const std::filesystem::path lock = locks.primary.LockFileOf(pair.Path());
  StaleLockRace race;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    std::ofstream(lock) << LockText(testing::PidOfAnEndedProcess());
    // Each taker tells on its channel whether it owns the port, and an owner keeps it until the channel
    // closes, then lets it go as a program does when it ends. However the round ends, the takers go
    // with it; one still held at the pause is killed.
    struct Takers {
      pid_t pids[StaleLockRace::kTakers] = {-1, -1};
      int channels[StaleLockRace::kTakers] = {-1, -1};
      bool released = false;
      ~Takers() {
        // All channels first: a later taker holds a copy of the earlier ones'.
        for (int channel : channels) {
          if (channel >= 0) close(channel);
        }
        for (int i = 0; i < StaleLockRace::kTakers; ++i) {
          if (pids[i] <= 0) continue;
          if (!released) kill(pids[i], SIGKILL);
          waitpid(pids[i], nullptr, 0);
        }
      }
    } takers;
    for (int i = 0; i < StaleLockRace::kTakers; ++i) {
      int channel[2];
      ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel), 0);
      takers.pids[i] = fork();
      ASSERT_GE(takers.pids[i], 0);
      if (takers.pids[i] == 0) {
        close(channel[0]);
        SerialPort port;
        const PortClaimRules rules{.paths = {.procRoot = noProcesses.path.string(),
                                             .lockDirectories = locks.Paths()}};
        char byte = port.Open(pair.Path(), k9600, 64, 64, rules) ? '1' : '0';
        if (write(channel[1], &byte, 1) != 1) _exit(2);
        while (read(channel[1], &byte, 1) > 0) {
        }
        port.Close();
        _exit(0);
      }
      close(channel[1]);
      takers.channels[i] = channel[0];
    }
    ASSERT_TRUE(race.ReleaseBothOnceThere());
    takers.released = true;
    std::vector<pid_t> owners;
    for (int i = 0; i < StaleLockRace::kTakers; ++i) {
      char owns = 0;
      ASSERT_TRUE(StaleLockRace::ReadWithin(takers.channels[i], owns));
      if (owns == '1') owners.push_back(takers.pids[i]);
    }
    ASSERT_EQ(owners.size(), 1u);
    EXPECT_EQ(FileText(lock), LockText(owners.front()));
  }
}

// Names that lead to no serial line of their own: nothing, a file, another kind of device, and the
// aliases that reach whatever terminal or console happens to be behind them (refused by their own
// number before they are opened, so no check made on a port's own name is bypassed), or a new master.
TEST(SerialPortTest, MissingDeviceAndNonTerminalAreNotOpened) {
  testing::TemporaryDirectory files;
  const std::string plainFile = (files.path / "file").string();
  std::ofstream(plainFile) << "x";
  const std::string linkToTty = (files.path / "tty").string();
  std::filesystem::create_symlink("/dev/tty", linkToTty);
  const struct {
    std::string name;
    PortRefusal refusal;
  } cases[] = {
      {"/dev/varnetik-no-such-port", PortRefusal::NoSuchDevice},
      {"  ", PortRefusal::NoSuchDevice},
      {"/dev/null", PortRefusal::NotATerminal},
      {plainFile, PortRefusal::NotATerminal},
      {"/dev/tty", PortRefusal::NotATerminal},
      {linkToTty, PortRefusal::NotATerminal},
      {"/dev/console", PortRefusal::NotATerminal},
      {"/dev/tty0", PortRefusal::NotATerminal},
      {"/dev/ptmx", PortRefusal::NotATerminal},
      {"/dev/pts/ptmx", PortRefusal::NotATerminal},
  };
  for (const auto& c : cases) {
    SerialPort port;
    EXPECT_EQ(port.Open(c.name, k9600, 64, 64).refusal, c.refusal) << c.name;
    EXPECT_FALSE(port.IsOpen()) << c.name;
  }
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
    rules.paths.lockDirectories = {locks.path.string(), locks.path.string()};
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
