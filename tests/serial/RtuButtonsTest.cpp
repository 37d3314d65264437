// The settings row, "Verbinden", "Trennen" and the status text, spoken through the recording console.
#include <sys/file.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "operator/RtuSide.h"
#include "serial/RtuLink.h"
#include "serial/SerialPort.h"
#include "tests/serial/FakeSystem.h"
#include "tests/serial/OtherProcess.h"
#include "tests/serial/TerminalPair.h"
#include "tests/support/FakeConsole.h"

namespace varnetik {
namespace {

using testing::FakeConsole;
using testing::TerminalPair;
using Events = std::vector<std::string>;

const char kFailureBox[] = "box: Fehler / Port konnte nicht geöffnet werden.";

bool CanOpen(const std::string& path) { return static_cast<bool>(SerialPort().Open(path, LineSettings{}, 64, 64)); }

TEST(RtuReadSettingsTest, CopiesTheSettingsRow) {
  const struct {
    int parityEntry, dataBitsEntry, stopBitsEntry;
    int64_t parity, dataBits;
    float stopBits;
  } cases[] = {
      {0, 1, 0, 0, 8, 1.0f},
      {1, 0, 1, 2, 7, 2.0f},   // "Even" is the driver's code 2, not the list position
      {2, 1, 1, 1, 8, 2.0f},   // "Odd" is code 1
      {-1, -1, -1, 2, 8, 2.0f},  // nothing selected: parity kept, the others take their second value
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parityEntry);
    RtuLink link;
    link.parity = 2;
    uint8_t slaveId = 1;
    FakeConsole console;
    console.texts[ControlId::PortCombo] = " ttyUSB0 ";
    console.texts[ControlId::BaudCombo] = "19200";
    console.selections[ControlId::ParityCombo] = c.parityEntry;
    console.selections[ControlId::DataBitsCombo] = c.dataBitsEntry;
    console.selections[ControlId::StopBitsCombo] = c.stopBitsEntry;
    console.spins[ControlId::SlaveIdSpin] = 0x1F7;
    console.spins[ControlId::RtuTimeoutSpin] = 1234;
    RtuReadSettings(link, slaveId, console);
    EXPECT_EQ(link.portName, " ttyUSB0 ");
    EXPECT_EQ(link.baudRate, 19200);
    EXPECT_EQ(link.parity, c.parity);
    EXPECT_EQ(link.dataBits, c.dataBits);
    EXPECT_EQ(link.stopBits, c.stopBits);
    EXPECT_EQ(slaveId, 0xF7);
    EXPECT_EQ(link.rxTimeoutMs, 1234);
    EXPECT_TRUE(console.events.empty());
  }
}

TEST(RtuStatusTextTest, DescribesTheLink) {
  const struct {
    bool open;
    int64_t baudRate, dataBits, parity;
    float stopBits;
    const char* text;
  } cases[] = {
      {false, 9600, 8, 0, 1.0f, "RTU: getrennt"},
      {true, 9600, 8, 0, 1.0f, "RTU: verbunden (COM3 @ 9600 8N1)"},
      {true, 19200, 7, 2, 2.0f, "RTU: verbunden (COM3 @ 19200 7E2)"},
      {true, 115200, 8, 1, 1.5f, "RTU: verbunden (COM3 @ 115200 8O1)"},
      {true, 1200, 8, 7, 3.0f, "RTU: verbunden (COM3 @ 1200 8O2)"},
  };
  TerminalPair line;
  for (const auto& c : cases) {
    RtuLink link;
    link.portName = line.Path();
    if (c.open) {
      ASSERT_TRUE(link.RtuOpenPort());
    }
    // The text shows the stored settings, whatever the port was opened with.
    link.portName = "COM3";
    link.baudRate = c.baudRate;
    link.dataBits = c.dataBits;
    link.parity = c.parity;
    link.stopBits = c.stopBits;
    EXPECT_EQ(RtuStatusText(link), c.text);
  }
}

class RtuButtonsTest : public ::testing::Test {
 protected:
  // Lock directories and a /proc of the test's own: what the machine's would add to the log (notes
  // for an ordinary user, who cannot see other users' programs) is the business of the test that
  // plants it.
  void SetUp() override {
    link.systemPaths = {.procRoot = noProcesses.path.string(), .lockDirectories = locks.Paths()};
  }

  void Connect(const std::string& name) {
    console.texts[ControlId::PortCombo] = name;
    RtuConnectClicked(link, slaveId, console);
  }

  testing::TemporaryDirectory noProcesses;
  testing::TestLockDirectories locks;

  TerminalPair first;
  TerminalPair second;
  RtuLink link;
  uint8_t slaveId = 1;
  FakeConsole console;
};

TEST_F(RtuButtonsTest, ConnectOpensWithTheWindowSettings) {
  console.texts[ControlId::BaudCombo] = "19200";
  console.selections[ControlId::ParityCombo] = 1;
  console.selections[ControlId::DataBitsCombo] = 0;
  console.selections[ControlId::StopBitsCombo] = 1;
  Connect(first.Path());
  EXPECT_EQ(console.events, (Events{"log: Port geöffnet: " + first.Path(), "status"}));
  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(RtuStatusText(link), "RTU: verbunden (" + first.Path() + " @ 19200 7E2)");
  const termios line = first.TerminalSettings();
  EXPECT_EQ(cfgetospeed(&line), B19200);
}

TEST_F(RtuButtonsTest, EmptyNameOnlyShowsAHintAndKeepsThePortOpen) {
  Connect(first.Path());
  console.events.clear();
  console.texts[ControlId::BaudCombo] = "19200";  // a reopen would apply it
  Connect("");
  EXPECT_EQ(console.events, (Events{"box: Hinweis / Bitte einen Port wählen/eingeben."}));
  EXPECT_TRUE(link.IsOpen());
  const termios line = first.TerminalSettings();
  EXPECT_EQ(cfgetospeed(&line), B9600);
}

TEST_F(RtuButtonsTest, FailureIsLoggedBeforeTheBoxAndTheStatusFollows) {
  // Blanks only are a name; so are a missing device, a port another program holds locked, one that
  // another program merely has open, one whose lock file a running program holds, something that is no
  // serial line, and a port that does not take the settings. The reason follows the failure at once.
  ASSERT_EQ(flock(second.TerminalFd(), LOCK_EX | LOCK_NB), 0);
  TerminalPair third, fourth;
  testing::OtherProcess user(testing::OtherProcess::Holds::Terminal, third.Path());
  testing::OtherProcess locker(testing::OtherProcess::Holds::Nothing);
  link.systemPaths.procRoot = kDefaultProcRoot;  // where the other programs really are
  std::ofstream(locks.primary.LockFileOf(fourth.Path())) << locker.Pid() << "\n";
  // A forked test process runs under the test program's name, cut to the kernel's 15 characters.
  const std::string program = ProgramNameOf("/proc", user.Pid());
  const struct {
    std::string name;
    std::string reason;
    const char* baudRate;
  } cases[] = {
      {"  ", "Grund: Gerät nicht vorhanden", "9600"},
      {"/dev/varnetik-missing", "Grund: Gerät nicht vorhanden", "9600"},
      {second.Path(), "Grund: belegt von einem anderen Programm", "9600"},
      {third.Path(), "Grund: belegt von " + program + " (PID " + std::to_string(user.Pid()) + ")", "9600"},
      {fourth.Path(), "Grund: gesperrt von " + program + " (PID " + std::to_string(locker.Pid()) + ")", "9600"},
      {"/dev/null", "Grund: keine serielle Schnittstelle", "9600"},
      {first.Path(), "Grund: Einstellungen vom Treiber abgelehnt", "14400"},
  };
  ASSERT_FALSE(program.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connect(first.Path());
    console.events.clear();
    console.texts[ControlId::BaudCombo] = c.baudRate;
    Connect(c.name);
    console.texts[ControlId::BaudCombo] = "9600";
    EXPECT_EQ(console.events,
              (Events{"log: Konnte Port nicht öffnen: " + c.name, "log: " + c.reason, kFailureBox, "status"}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(CanOpen(first.Path())) << "the port open before was not released";
  }
}

// What an open could not make sure of follows "Port geöffnet": that no lock file could be written (at
// every such open), and that other users' programs could not be checked (once in a run: nothing the
// operator can do changes it).
TEST_F(RtuButtonsTest, ConnectTellsWhatTheOpenCouldNotCheck) {
  testing::FakeProcTree proc;
  proc.AddClosedProcess(1);
  testing::TemporaryDirectory nowhere;
  link.systemPaths = {.procRoot = proc.path.string(),
                      .lockDirectories = {(nowhere.path / "run").string(), (nowhere.path / "var").string()}};
  const std::string noLock = "log: Hinweis: keine Sperrdatei angelegt, andere Programme sehen den Port nicht als belegt.";
  const std::string unchecked = "log: Hinweis: Programme anderer Benutzer konnten nicht geprüft werden.";
  Connect(first.Path());
  Connect(second.Path());
  EXPECT_EQ(console.events, (Events{"log: Port geöffnet: " + first.Path(), noLock, unchecked, "status",
                                    "log: Port geöffnet: " + second.Path(), noLock, "status"}));
}

TEST_F(RtuButtonsTest, ConnectAgainClosesTheOldPortFirst) {
  Connect(first.Path());
  Connect(first.Path());  // the same port again: it would be in use if not closed first
  EXPECT_EQ(console.log, (std::vector<std::string>{"Port geöffnet: " + first.Path(),
                                                   "Port geöffnet: " + first.Path()}));
  Connect(second.Path());
  EXPECT_TRUE(link.IsOpen());
  EXPECT_TRUE(CanOpen(first.Path()));
  EXPECT_FALSE(CanOpen(second.Path()));
}

TEST_F(RtuButtonsTest, DisconnectClosesRefreshesAndLogsEvenWhenClosed) {
  Connect(first.Path());
  console.events.clear();
  for (int click = 0; click < 2; ++click) {
    RtuDisconnectClicked(link, console);
    EXPECT_FALSE(link.IsOpen());
  }
  EXPECT_EQ(console.events, (Events{"status", "log: Port geschlossen.", "status", "log: Port geschlossen."}));
  EXPECT_TRUE(CanOpen(first.Path()));
}

TEST_F(RtuButtonsTest, AnEndingLinkReleasesItsPortAndLock) {
  const std::filesystem::path lockFile = std::filesystem::path(kDefaultLockDirectory) /
                                         ("LCK.." + std::filesystem::path(first.Path()).filename().string());
  {
    RtuLink ending;
    ending.portName = first.Path();
    ASSERT_TRUE(ending.RtuOpenPort());
    EXPECT_FALSE(CanOpen(first.Path()));
  }
  EXPECT_FALSE(std::filesystem::exists(lockFile));
  EXPECT_TRUE(CanOpen(first.Path()));
}

}  // namespace
}  // namespace varnetik
