// The Windows serial backend: port names on the device namespace, and the link, its exchange and the
// scan over COM1..COM64 on a null-modem pair of COM ports (under Wine: two pseudo-terminals joined by
// socat, see scripts/test-windows).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <thread>

#include "serial/PortName.h"
#include "serial/PortProbeWin32.h"
#include "serial/PortScan.h"
#include "serial/RtuLink.h"
#include "tests/serial/ComPeerWin32.h"
#include "tests/support/FakeConsole.h"
#include "tests/support/UnderWine.h"

namespace varnetik {
namespace {

using testing::ComPair;
using testing::ComPeer;
using testing::CommStateOf;
using testing::LeaveCommState;
using testing::FakeConsole;
using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

TEST(ComPortNames, FollowTheDeviceNamespacePrefix) {
  const std::string umlauts60 = [] {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "\xC3\x84";  // Ä
    return text;
  }();
  const struct {
    const char* label;
    std::string name;
    std::string path;
  } cases[] = {
      {"plain", "COM3", "\\\\.\\COM3"},
      {"two digits", "COM12", "\\\\.\\COM12"},
      {"letter case kept", "com5", "\\\\.\\com5"},
      {"blanks kept", " COM3 ", "\\\\.\\ COM3 "},
      {"cut at 59 characters", std::string(70, 'A'), "\\\\.\\" + std::string(59, 'A')},
      {"cut between characters", umlauts60, "\\\\.\\" + umlauts60.substr(0, 118)},
      {"typed as a device path", "\\\\.\\COM10", "\\\\.\\COM10"},
      {"typed as a raw device path", "\\\\?\\COM10", "\\\\?\\COM10"},
      {"device path cut after the prefix", "\\\\.\\" + std::string(70, 'A'), "\\\\.\\" + std::string(59, 'A')},
  };
  for (const auto& c : cases) EXPECT_EQ(DevicePathForPortName(c.name), c.path) << c.label;
}

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

class ComPairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::ComPairFromEnvironment(pair)) GTEST_SKIP() << "VARNETIK_COM_PAIR names no COM port pair";
    link.portName = pair.link;
  }

  ComPair pair;
  RtuLink link;
};

class ComPairExchangeTest : public ComPairTest {
 protected:
  void SetUp() override {
    ComPairTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(link.RtuOpenPort()) << pair.link;
    peer.emplace(pair.peer);
    ASSERT_TRUE(peer->IsOpen()) << pair.peer;
  }
  // The count collected; -1 when the exchange did not get as far as collecting.
  int64_t Exchange(int64_t expected, int64_t timeoutMs) {
    const RtuExchangeResult result =
        link.RtuExchange(request.data(), static_cast<int64_t>(request.size()), expected, response.data(),
                         static_cast<int64_t>(response.size()), timeoutMs);
    return result.status == RtuExchangeStatus::Collected ? result.received : -1;
  }

  std::optional<ComPeer> peer;
  std::array<uint8_t, 513> response{};
  const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
  const Bytes answer{0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x14, 0xDA, 0x3E};
};

TEST_F(ComPairExchangeTest, SendsTheRequestAndCollectsTheAnswer) {
  // Bytes left on the line from before are not taken for the answer.
  peer->Send({0xEE, 0xEE, 0xEE});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Bytes received;
  std::thread slave([&] {
    received = peer->Receive(request.size(), 3000);
    peer->Send(answer);
  });
  const int64_t result = Exchange(static_cast<int64_t>(answer.size()), 3000);
  slave.join();
  EXPECT_EQ(received, request);
  ASSERT_EQ(result, static_cast<int64_t>(answer.size()));
  EXPECT_EQ(Bytes(response.begin(), response.begin() + result), answer);
}

TEST_F(ComPairExchangeTest, ShortAnswerEndsOnlyWithTheBudget) {
  std::thread slave([&] {
    peer->Receive(request.size(), 3000);
    peer->Send({0x01, 0x83, 0x02, 0xC0, 0xF1});
  });
  const auto start = std::chrono::steady_clock::now();
  const int64_t result = Exchange(static_cast<int64_t>(answer.size()), 400);
  const int64_t ms = MillisecondsSince(start);
  slave.join();
  EXPECT_EQ(result, 5);
  EXPECT_GE(ms, 350);
  EXPECT_LT(ms, 3000);
}

// Whatever the previous program left in the driver, the port opens 8-bit clean: XON/XOFF would swallow
// 0x11 and 0x13 in an answer, and the DSR, null, error-character and abort settings lose or change bytes.
TEST_F(ComPairTest, OpenClearsWhatThePreviousProgramLeftInTheDriver) {
  ASSERT_TRUE(LeaveCommState(pair.link, [](DCB& dcb) {
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
  }));
  const DCB left = CommStateOf(pair.link);
  ASSERT_TRUE(left.fOutX && left.fInX) << "the driver did not keep XON/XOFF";
  if (!pair.linkTty.empty()) {
    const std::string before = testing::HostTerminalSettings(pair.linkTty);
    ASSERT_NE(before.find(" ixon"), std::string::npos) << before;
  }

  ASSERT_TRUE(link.RtuOpenPort());
  link.RtuClosePort();  // the driver keeps the DCB after the close
  const DCB opened = CommStateOf(pair.link);
  ASSERT_NE(opened.DCBlength, 0u);
  const struct {
    const char* field;
    DWORD value;
    DWORD wanted;
  } fields[] = {
      {"fBinary", opened.fBinary, TRUE},           {"fOutX", opened.fOutX, FALSE},
      {"fInX", opened.fInX, FALSE},                {"fOutxDsrFlow", opened.fOutxDsrFlow, FALSE},
      {"fOutxCtsFlow", opened.fOutxCtsFlow, FALSE},
  };
  for (const auto& f : fields) EXPECT_EQ(f.value, f.wanted) << f.field;
  if (!pair.linkTty.empty()) {
    const std::string after = testing::HostTerminalSettings(pair.linkTty);
    EXPECT_NE(after.find(" -ixon"), std::string::npos) << after;
    EXPECT_NE(after.find(" -ixoff"), std::string::npos) << after;
  }
}

TEST_F(ComPairTest, NameTypedAsADevicePathOpensThatPort) {
  link.portName = "\\\\.\\" + pair.link;
  EXPECT_TRUE(link.RtuOpenPort());
}

size_t Position(const Names& list, const std::string& name) {
  return static_cast<size_t>(std::find(list.begin(), list.end(), name) - list.begin());
}

// The scan probes COM1..COM64; other ports of the machine may be listed beside the pair.
TEST_F(ComPairTest, ScanListsThePairInOrderAndTheOpenPortFirstAsTyped) {
  FakeConsole console;
  const Names found = ScanPorts(link, console);
  EXPECT_LT(Position(found, pair.link), Position(found, pair.peer));
  EXPECT_LT(Position(found, pair.peer), found.size());
  // The test prefix hides the host's own serial ports, which a scan would otherwise reconfigure.
  if (testing::RunsUnderWine()) {
    EXPECT_EQ(found, (Names{pair.link, pair.peer}));
  }

  // Opened under its name in lower case, the link's port heads the list as typed and is not probed.
  link.portName = NormalizePortName(pair.link);
  ASSERT_TRUE(link.RtuOpenPort());
  const Names withOpenPort = ScanPorts(link, console);
  ASSERT_FALSE(withOpenPort.empty());
  EXPECT_EQ(withOpenPort.front(), link.portName);
  EXPECT_EQ(Position(withOpenPort, pair.link), withOpenPort.size());
  EXPECT_EQ(withOpenPort.size(), found.size());
  EXPECT_EQ(console.log.back(), "Gefundene COM Ports: " + std::to_string(withOpenPort.size()));
}

// The probe opens and configures a port to see that it works, then gives it back as it was.
TEST_F(ComPairTest, ScanLeavesTheSettingsOfTheProbedPortsAsTheyWere) {
  ASSERT_TRUE(LeaveCommState(pair.peer, [](DCB& dcb) {
    dcb.BaudRate = CBR_19200;
    dcb.fOutX = TRUE;
  }));
  FakeConsole console;
  const Names found = ScanPorts(link, console);
  EXPECT_LT(Position(found, pair.peer), found.size());
  const DCB after = CommStateOf(pair.peer);
  EXPECT_EQ(after.BaudRate, static_cast<DWORD>(CBR_19200));
  EXPECT_TRUE(after.fOutX);
  // The peer of the other tests opens it with its own settings; XON/XOFF must not stay for them.
  LeaveCommState(pair.peer, [](DCB& dcb) { dcb.fOutX = FALSE; });
}

// A candidate that is not a device, or is an outgoing Bluetooth port (whose open would try to reach
// the paired device for seconds), is never opened.
TEST_F(ComPairTest, ScanSkipsAbsentAndBluetoothPorts) {
  HKEY map = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &map, nullptr),
            ERROR_SUCCESS);
  const std::wstring bluetooth = L"\\Device\\BthModem7";
  const std::wstring peer(pair.peer.begin(), pair.peer.end());
  ASSERT_EQ(::RegSetValueExW(map, bluetooth.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(peer.c_str()),
                             static_cast<DWORD>((peer.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  const struct {
    std::string name;
    bool probed;
  } cases[] = {{pair.link, true}, {pair.peer, false}, {"NOSUCHPORT", false}};
  for (const auto& c : cases) EXPECT_EQ(IsComPortWorthProbing(c.name), c.probed) << c.name;
  FakeConsole console;
  const Names found = ScanPorts(link, console);
  ::RegDeleteValueW(map, bluetooth.c_str());
  ::RegCloseKey(map);
  EXPECT_LT(Position(found, pair.link), found.size());
  EXPECT_EQ(Position(found, pair.peer), found.size());
}

TEST_F(ComPairTest, ScanLeavesOutAPortHeldElsewhere) {
  if (testing::RunsUnderWine()) GTEST_SKIP() << "Wine lets a second opener into a COM port";
  ComPeer holder(pair.peer);
  ASSERT_TRUE(holder.IsOpen());
  FakeConsole console;
  const Names found = ScanPorts(link, console);
  EXPECT_LT(Position(found, pair.link), found.size());
  EXPECT_EQ(Position(found, pair.peer), found.size());
}

}  // namespace
}  // namespace varnetik
