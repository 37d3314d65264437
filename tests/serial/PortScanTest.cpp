// The port scan over candidates the test provides: pseudo-terminals, missing paths and held ports.
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "serial/PortScan.h"
#include "tests/serial/FakeSystem.h"
#include "tests/serial/OtherProcess.h"
#include "tests/serial/TerminalPair.h"
#include "tests/support/FakeConsole.h"

namespace varnetik {
namespace {

using testing::FakeConsole;
using testing::OtherProcess;
using testing::TerminalPair;
using Names = std::vector<std::string>;

const char kMissing[] = "/dev/varnetik-no-such-port";

TEST(PortScanTest, NormalizesNamesForComparison) {
  const struct {
    const char* name;
    const char* normalized;
  } cases[] = {{"COM3", "com3"}, {" com3", "com3"}, {"Com3 ", "com3"}, {"  /dev/ttyUSB0  ", "/dev/ttyusb0"},
               {"\tCOM3", "\tcom3"}, {"   ", ""}, {"", ""}, {"Ä1", "Ä1"}};
  for (const auto& c : cases) EXPECT_EQ(NormalizePortName(c.name), c.normalized) << c.name;
}

TEST(PortScanTest, ListsOnlyPortsThatOpenExclusively) {
  TerminalPair free1, held, free2, used;
  ASSERT_EQ(flock(held.TerminalFd(), LOCK_EX | LOCK_NB), 0);
  // Another program has one port open plainly; another made a virtual pair and holds both its ends.
  OtherProcess user(OtherProcess::Holds::Terminal, used.Path());
  OtherProcess maker(OtherProcess::Holds::OwnPair);
  RtuLink link;
  FakeConsole console;
  const Names candidates = {kMissing,    free1.Path(),     held.Path(), used.Path(),
                            free2.Path(), maker.PairPath(), free1.Path()};
  const Names expected = {free1.Path(), free2.Path(), maker.PairPath()};
  EXPECT_EQ(ScanPorts(link, console, candidates), expected);
  // A second scan finds the same; nothing piles up.
  EXPECT_EQ(ScanPorts(link, console, candidates), expected);
  EXPECT_EQ(console.log, (Names{"Gefundene COM Ports: 3", "Gefundene COM Ports: 3"}));
  // The port in use kept the kernel's settings: the probe never reached it.
  EXPECT_NE(used.TerminalSettings().c_iflag & IXON, 0u);
}

TEST(PortScanTest, ReportsWhenNothingIsFound) {
  TerminalPair held;
  ASSERT_EQ(flock(held.TerminalFd(), LOCK_EX | LOCK_NB), 0);
  RtuLink link;
  FakeConsole console;
  EXPECT_TRUE(ScanPorts(link, console, {kMissing, held.Path()}).empty());
  EXPECT_TRUE(ScanPorts(link, console, {}).empty());
  EXPECT_EQ(console.log, (Names{"Keine verfügbaren Ports gefunden.", "Keine verfügbaren Ports gefunden."}));
}

// A probe is the open the link makes, then the line goes back to its owner untouched: settings as they
// were (here a line its owner set to 115200 with echo and line editing), a stale lock left where it is
// (the port is listed, and "Verbinden" takes the lock over), and the kernel console not probed at all.
TEST(PortScanTest, LeavesEveryPortAsItFoundIt) {
  TerminalPair withSettings, withStaleLock, console;
  termios owners = withSettings.TerminalSettings();
  cfsetspeed(&owners, B115200);
  owners.c_cflag |= CSTOPB;
  ASSERT_EQ(tcsetattr(withSettings.TerminalFd(), TCSANOW, &owners), 0);
  testing::TestLockDirectories locks;
  testing::TemporaryDirectory sys;
  const std::filesystem::path staleLock = locks.primary.LockFileOf(withStaleLock.Path());
  std::ofstream(staleLock) << "     " << testing::PidOfAnEndedProcess() << "\n";
  const std::string staleText = testing::FileText(staleLock);
  const std::filesystem::path active = sys.path / "active";
  std::ofstream(active) << "tty0 " << std::filesystem::path(console.Path()).filename().string() << "\n";
  const std::vector<const TerminalPair*> lines = {&withSettings, &withStaleLock, &console};
  std::vector<termios> before;
  for (const TerminalPair* line : lines) before.push_back(line->TerminalSettings());

  RtuLink link;
  FakeConsole log;
  const PortClaimRules rules{.paths = {.lockDirectories = locks.Paths(), .consoleList = active.string()}};
  EXPECT_EQ(ScanPorts(link, log, {withSettings.Path(), withStaleLock.Path(), console.Path()}, rules),
            (Names{withSettings.Path(), withStaleLock.Path()}));
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]->Path());
    testing::ExpectSameLine(before[i], lines[i]->TerminalSettings());
  }
  EXPECT_EQ(testing::FileText(staleLock), staleText);
}

class OpenPortScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/varnetik-scan-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Alias(const std::string& name, const TerminalPair& target) {
    std::filesystem::create_symlink(target.Path(), dir / name);
    return (dir / name).string();
  }

  std::filesystem::path dir;
  TerminalPair open, other, free;
  RtuLink link;
  FakeConsole console;
};

TEST_F(OpenPortScanTest, TheOpenPortComesFirstAsStoredAndIsNotProbedAgain) {
  link.portName = Alias("PortA", open);
  link.baudRate = 19200;
  link.stopBits = 2.0f;
  ASSERT_TRUE(link.RtuOpenPort());
  // The same name in another spelling, though it leads to a free terminal, counts as the open port.
  const std::string sameName = Alias("porta ", other);
  const std::string openAgain = Alias("again", open);
  const Names found = ScanPorts(link, console, {sameName, openAgain, free.Path()});
  EXPECT_EQ(found, (Names{link.portName, free.Path()}));
  EXPECT_EQ(console.log, (Names{"Gefundene COM Ports: 2"}));
  // The probe of the open port under another name failed without touching its line settings.
  EXPECT_TRUE(link.IsOpen());
  const termios line = open.TerminalSettings();
  EXPECT_EQ(cfgetospeed(&line), B19200);
  EXPECT_NE(line.c_cflag & CSTOPB, 0u);
}

TEST_F(OpenPortScanTest, AnOpenPortWithoutANameIsNotListed) {
  link.portName = open.Path();
  ASSERT_TRUE(link.RtuOpenPort());
  link.portName.clear();
  EXPECT_EQ(ScanPorts(link, console, {open.Path(), free.Path()}), (Names{free.Path()}));
}

}  // namespace
}  // namespace varnetik
