// The log list (stamp, dump lines, selection of the newest line, clearing) and the two status fields.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/LogStamp.h"
#include "app/StatusLine.h"
#include "tests/app/ShellHarness.h"
#include "tests/support/PtyPair.h"

namespace varnetik {
namespace {

using testing::ShellHarness;

TEST(LogStamp, TwoDigitsEachAndOneBlank) {
  const struct {
    QTime time;
    const char* stamp;
  } cases[] = {{QTime(9, 5, 7), "[09:05:07] "}, {QTime(23, 59, 59), "[23:59:59] "}, {QTime(0, 0, 0), "[00:00:00] "},
               {QTime(14, 32, 10), "[14:32:10] "}};
  for (const auto& c : cases) EXPECT_EQ(LogStamp(c.time), c.stamp);
  EXPECT_EQ(StampedLogLine(QTime(9, 5, 7), "Bereit."), "[09:05:07] Bereit.");
}

TEST(LogList, StartsWithTheScanSummaryAndReady) {
  ShellHarness shell;
  EXPECT_EQ(shell.Log(), QStringList({"Keine verfügbaren Ports gefunden.", "Bereit."}));
  // The stamp is the local time of the call.
  static const QRegularExpression stamped(R"(^\[\d\d:\d\d:\d\d\] Bereit\.$)");
  EXPECT_TRUE(stamped.match(shell.window->Log()->Line(1)).hasMatch()) << shell.window->Log()->Line(1).toStdString();
  EXPECT_EQ(shell.window->Log()->SelectedLine(), 1);
}

TEST(LogList, DumpLinesShowLabelCountAndBytes) {
  const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
  const uint8_t newline[] = {0x0A};
  const uint8_t high[] = {0xFF};
  const struct {
    const char* label;
    const uint8_t* bytes;
    int64_t count;
    const char* line;
  } cases[] = {
      {"TX", request, 8, "TX (8 B): 01 03 00 00 00 02 C4 0B"},
      {"RX", request, 0, "RX (0 B): "},
      {"TX-TCP", newline, 1, "TX-TCP (1 B): 0A"},
      {"RX-TCP", high, 1, "RX-TCP (1 B): FF"},
  };
  ShellHarness shell;
  for (const auto& c : cases) {
    shell.window->LogHexDump(c.label, c.bytes, c.count);
    EXPECT_EQ(shell.Log().last(), c.line);
  }
}

TEST(LogList, ClearEmptiesItAndTheNextLineStartsAgain) {
  ShellHarness shell;
  auto* clear = shell.Get<QPushButton>(ControlId::ClearLogButton);
  clear->click();
  EXPECT_EQ(shell.window->Log()->LineCount(), 0);
  EXPECT_EQ(shell.window->Log()->SelectedLine(), -1);
  clear->click();
  EXPECT_EQ(shell.window->Log()->LineCount(), 0);
  shell.window->LogLine("eins");
  EXPECT_EQ(shell.Log(), QStringList({"eins"}));
  EXPECT_EQ(shell.window->Log()->SelectedLine(), 0);
}

TEST(LogView, NewestLineIsSelectedAndScrolledIntoView) {
  ShellHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  for (int i = 0; i < 5000; ++i) shell.window->LogLine("Zeile " + std::to_string(i));
  EXPECT_EQ(log.LineCount(), 5002);
  EXPECT_EQ(log.SelectedLine(), 5001);
  EXPECT_EQ(log.FirstVisibleLine(), 5002 - log.FullyVisibleLines());
  EXPECT_EQ(log.verticalScrollBar()->value(), log.verticalScrollBar()->maximum());
  EXPECT_EQ(log.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  // A click selects the line under the pointer; the next log line takes the selection back.
  QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, QPoint(5, log.LineHeight() / 2));
  EXPECT_EQ(log.SelectedLine(), log.FirstVisibleLine());
  shell.window->LogLine("neu");
  EXPECT_EQ(log.SelectedLine(), 5002);
}

// A listening socket on 127.0.0.1; connections wait in its backlog.
class LoopbackListener {
 public:
  LoopbackListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "no loopback listener";
    }
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackListener() { close(fd_); }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(StatusLine, ShowsBothLinksAndKeepsOneWhenTheOtherChanges) {
  testing::PtyPair line;
  LoopbackListener server;
  ShellHarness shell;
  const StatusLine& status = shell.window->Status();
  EXPECT_EQ(status.FieldLabel(0)->width(), 380);
  EXPECT_EQ(status.Field(0), "RTU: getrennt");
  EXPECT_EQ(status.Field(1), "TCP: getrennt");

  shell.Get<QComboBox>(ControlId::PortCombo)->setEditText(QString::fromStdString(line.Path()));
  shell.Get<QComboBox>(ControlId::BaudCombo)->setCurrentIndex(4);
  shell.Get<QComboBox>(ControlId::DataBitsCombo)->setCurrentIndex(0);
  shell.Get<QComboBox>(ControlId::ParityCombo)->setCurrentIndex(1);
  shell.Get<QComboBox>(ControlId::StopBitsCombo)->setCurrentIndex(1);
  shell.Get<QPushButton>(ControlId::RtuConnectButton)->click();
  EXPECT_EQ(status.Field(0).toStdString(), "RTU: verbunden (" + line.Path() + " @ 19200 7E2)");

  shell.Get<QLineEdit>(ControlId::TcpPortField)->setText(QString::number(server.Port()));
  shell.Get<QPushButton>(ControlId::TcpConnectButton)->click();
  EXPECT_EQ(status.Field(1), QStringLiteral("TCP: verbunden (127.0.0.1:%1)").arg(server.Port()));

  shell.Get<QPushButton>(ControlId::RtuDisconnectButton)->click();
  EXPECT_EQ(status.Field(0), "RTU: getrennt");
  EXPECT_EQ(status.Field(1), QStringLiteral("TCP: verbunden (127.0.0.1:%1)").arg(server.Port()));
  EXPECT_EQ(shell.Log().last(), "Port geschlossen.");
  shell.Get<QPushButton>(ControlId::TcpDisconnectButton)->click();
  EXPECT_EQ(status.Field(1), "TCP: getrennt");
}

}  // namespace
}  // namespace varnetik
