// TcpConnect and the two TCP buttons, against loopback listeners and the recording console.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "operator/TcpSide.h"
#include "tcp/TcpLink.h"
#include "tests/support/FakeConsole.h"
#include "tests/tcp/LoopbackPeer.h"

namespace varnetik {
namespace {

using testing::FakeConsole;
using testing::LoopbackPort;
using testing::MillisecondsTaken;
using testing::ScopedFd;

const std::string kHint = "box: Hinweis / Bitte Host/IP und Port angeben.";

// How long a refused connect may take, well under the 2000 ms limit so that a refusal is told apart from
// a timeout. Linux reports the reset at once, and so does Wine, which runs on the host's stack. Windows
// sends its SYN again after each reset and would take 1 to 2 s; the link asks it for no SYN
// retransmissions (Windows 8 and later), and then the first reset ends the attempt there too.
constexpr int64_t kRefusalBoundMs = 1500;

bool HostsFileNamesLocalhost() {
  std::ifstream hosts("/etc/hosts");
  std::string line;
  while (std::getline(hosts, line)) {
    std::istringstream fields(line);
    std::string address, name;
    fields >> address;
    while (address == "127.0.0.1" && fields >> name) {
      if (name == "localhost") return true;
    }
  }
  return false;
}

class TcpConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    console.texts[ControlId::TcpPortField] = std::to_string(listener.Port());
    link.port = listener.Port();
  }
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(listener.Port()); }

  LoopbackPort listener{true};
  LoopbackPort refusing{false};
  TcpLink link;
  FakeConsole console;
};

TEST_F(TcpConnectTest, HostsAreDottedAddressesOrLocalNames) {
  struct Case {
    std::string host;
    LinkOpenResult result;
  };
  constexpr LinkOpenResult kOpened = LinkOpenResult::Opened;
  std::vector<Case> cases = {{"127.0.0.1", kOpened},
                             {"127.1", kOpened},
                             {"255.255.255.255", LinkOpenResult::NameNotFound},
                             {"", LinkOpenResult::NameNotFound},
                             {std::string("127.0.0.1\0x", 11), LinkOpenResult::NameNotFound}};
  // A name is only looked up where the hosts file answers it, so no query leaves the machine.
  if (HostsFileNamesLocalhost()) cases.push_back({"localhost", kOpened});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    link.host = c.host;
    EXPECT_EQ(link.TcpConnect(), c.result);
    const bool connects = c.result == kOpened;
    EXPECT_EQ(link.IsConnected(), connects);
    if (connects) {
      EXPECT_NE(ScopedFd(listener.Accept()).Get(), kNoSocket);
    }
  }
}

TEST_F(TcpConnectTest, RefusedConnectFailsWellBeforeTheTimeLimit) {
  link.port = refusing.Port();
  LinkOpenResult result = LinkOpenResult::Opened;
  EXPECT_LT(MillisecondsTaken([&] { result = link.TcpConnect(); }), kRefusalBoundMs);
  EXPECT_EQ(result, LinkOpenResult::RefusedOrUnreachable);
  EXPECT_EQ(link.connection, kNoSocket);
}

TEST_F(TcpConnectTest, PortAbove65535IsNotWrappedOntoAnotherPort) {
  link.port = listener.Port() + 65536;
  EXPECT_EQ(link.TcpConnect(), LinkOpenResult::Failed);
}

TEST_F(TcpConnectTest, ButtonConnectsLogsAndRefreshesTheStatus) {
  TcpConnectClicked(link, console);
  EXPECT_EQ(console.events, (std::vector<std::string>{"log: TCP verbunden: " + Endpoint(), "status"}));
  EXPECT_EQ(TcpStatusText(link), "TCP: verbunden (" + Endpoint() + ")");
}

TEST_F(TcpConnectTest, PortTextsWithBlanksLettersOrDollarHex) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "$%X", listener.Port());
  const std::string port = std::to_string(listener.Port());
  for (const std::string& text : {" " + port, "\t" + port, port + "abc", std::string(hex)}) {
    SCOPED_TRACE(text);
    console.texts[ControlId::TcpPortField] = text;
    console.events.clear();
    TcpConnectClicked(link, console);
    EXPECT_EQ(console.events, (std::vector<std::string>{"log: TCP verbunden: " + Endpoint(), "status"}));
    EXPECT_NE(ScopedFd(listener.Accept()).Get(), kNoSocket);
  }
}

TEST_F(TcpConnectTest, SettingsAreCopiedAsTyped) {
  console.texts[ControlId::TcpHostField] = " plc-7 ";
  console.spins[ControlId::TcpTimeoutSpin] = 50;
  for (const char* text : {" 502", "502abc", "$1F6", "+502"}) {
    console.texts[ControlId::TcpPortField] = text;
    TcpReadSettings(link, console);
    EXPECT_EQ(link.port, 502) << text;
  }
  EXPECT_EQ(link.host, " plc-7 ");
  EXPECT_EQ(link.rxTimeoutMs, 50);
  EXPECT_FALSE(link.IsConnected());
}

TEST_F(TcpConnectTest, MissingHostOrPortGivesTheHintAndKeepsTheConnection) {
  ASSERT_EQ(link.TcpConnect(), LinkOpenResult::Opened);
  const SocketHandle connection = link.connection;
  struct Case {
    std::string host;
    std::string port;
  };
  for (const Case& c : std::vector<Case>{{"", "502"},
                                         {"127.0.0.1", ""},
                                         {"127.0.0.1", "abc"},
                                         {"127.0.0.1", "0"},
                                         {"127.0.0.1", "-502"},
                                         {"127.0.0.1", "0x1F6"},
                                         {"127.0.0.1", "65536"},
                                         {"127.0.0.1", "70000"}}) {
    SCOPED_TRACE(c.host + " / " + c.port);
    console.events.clear();
    console.texts[ControlId::TcpHostField] = c.host;
    console.texts[ControlId::TcpPortField] = c.port;
    TcpConnectClicked(link, console);
    EXPECT_EQ(console.events, std::vector<std::string>{kHint});
    EXPECT_EQ(link.connection, connection);
  }
}

TEST_F(TcpConnectTest, FailedConnectLogsWhyShowsAnErrorAndDropsTheOldConnection) {
  struct Case {
    std::string host;
    std::string port;
    const char* reasonLine;
  };
  const std::string listening = std::to_string(listener.Port());
  for (const Case& c : std::vector<Case>{
           {"127.0.0.1", std::to_string(refusing.Port()),
            "log: Grund: Verbindung abgelehnt oder Ziel nicht erreichbar."},
           {std::string("127.0.0.1\0x", 11), listening, "log: Grund: Host nicht gefunden."}}) {
    SCOPED_TRACE(c.reasonLine);
    console.texts[ControlId::TcpHostField] = "127.0.0.1";
    console.texts[ControlId::TcpPortField] = listening;
    TcpConnectClicked(link, console);
    ScopedFd oldPeer(listener.Accept());
    console.events.clear();
    console.texts[ControlId::TcpHostField] = c.host;
    console.texts[ControlId::TcpPortField] = c.port;
    TcpConnectClicked(link, console);
    EXPECT_EQ(console.events, (std::vector<std::string>{
                                  "log: TCP-Verbindung fehlgeschlagen: " + c.host + ":" + c.port, c.reasonLine,
                                  "box: Fehler / TCP-Verbindung konnte nicht aufgebaut werden.", "status"}));
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(TcpStatusText(link), "TCP: getrennt");
    EXPECT_TRUE(testing::SeesOrderlyClose(oldPeer.Get()));
  }
}

TEST_F(TcpConnectTest, ConnectingAgainClosesTheFirstConnectionSilently) {
  link.transactionId = 41;
  TcpConnectClicked(link, console);
  ScopedFd first(listener.Accept());
  TcpConnectClicked(link, console);
  ScopedFd second(listener.Accept());
  const std::string line = "log: TCP verbunden: " + Endpoint();
  EXPECT_EQ(console.events, (std::vector<std::string>{line, "status", line, "status"}));
  EXPECT_TRUE(testing::SeesOrderlyClose(first.Get()));
  EXPECT_NE(second.Get(), kNoSocket);
  EXPECT_EQ(link.transactionId, 41);
}

TEST_F(TcpConnectTest, DisconnectButtonLogsWithOrWithoutAConnection) {
  TcpConnectClicked(link, console);
  ScopedFd peer(listener.Accept());
  for (int press = 0; press < 2; ++press) {
    console.events.clear();
    TcpDisconnectClicked(link, console);
    EXPECT_EQ(console.events, (std::vector<std::string>{"log: TCP getrennt.", "status"}));
    EXPECT_EQ(TcpStatusText(link), "TCP: getrennt");
  }
  EXPECT_TRUE(testing::SeesOrderlyClose(peer.Get()));
}

}  // namespace
}  // namespace varnetik
