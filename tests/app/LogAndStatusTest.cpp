// The log list (stamp, dump lines, selection of the newest line, clearing, keys, sideways scrolling, what
// assistive technology sees of it) and the two status fields.
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/AccessibleEvents.h"
#include "app/LogStamp.h"
#include "app/OutcomeAnnouncer.h"
#include "app/StatusLine.h"
#include "tests/support/WindowHarness.h"
#include "tests/support/PtyPair.h"

namespace varnetik {
namespace {

using testing::WindowHarness;

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
  WindowHarness shell;
  EXPECT_EQ(shell.LogLines(), QStringList({"Keine verfügbaren Ports gefunden.", "Bereit."}));
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
  WindowHarness shell;
  for (const auto& c : cases) {
    shell.window->LogHexDump(c.label, c.bytes, c.count);
    EXPECT_EQ(shell.LogLines().last(), c.line);
  }
}

TEST(LogList, ClearEmptiesItAndTheNextLineStartsAgain) {
  WindowHarness shell;
  auto* clear = shell.Get<QPushButton>(ControlId::ClearLogButton);
  clear->click();
  EXPECT_EQ(shell.window->Log()->LineCount(), 0);
  EXPECT_EQ(shell.window->Log()->SelectedLine(), -1);
  clear->click();
  EXPECT_EQ(shell.window->Log()->LineCount(), 0);
  shell.window->LogLine("eins");
  EXPECT_EQ(shell.LogLines(), QStringList({"eins"}));
  EXPECT_EQ(shell.window->Log()->SelectedLine(), 0);
}

bool FullyVisible(const LogView& log, int64_t line) {
  return line >= log.FirstVisibleLine() && line < log.FirstVisibleLine() + log.FullyVisibleLines();
}

TEST(LogView, NewestLineIsSelectedAndScrolledIntoView) {
  WindowHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  for (int i = 0; i < 5000; ++i) shell.window->LogLine("Zeile " + std::to_string(i));
  EXPECT_EQ(log.LineCount(), 5002);
  EXPECT_EQ(log.SelectedLine(), 5001);
  EXPECT_EQ(log.FirstVisibleLine(), 5002 - log.FullyVisibleLines());
  EXPECT_EQ(log.verticalScrollBar()->value(), log.verticalScrollBar()->maximum());
  // A click selects the line under the pointer; without the focus in the log the next log line takes the
  // selection back.
  QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, QPoint(5, log.LineHeight() / 2));
  EXPECT_EQ(log.SelectedLine(), log.FirstVisibleLine());
  log.clearFocus();
  shell.window->LogLine("neu");
  EXPECT_EQ(log.SelectedLine(), 5002);
}

// Someone reading an older line keeps it while new lines arrive, until they go back to the end.
TEST(LogView, ReaderOnAnOlderLineKeepsItUntilBackAtTheEnd) {
  WindowHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  for (int i = 0; i < 100; ++i) shell.window->LogLine("Zeile " + std::to_string(i));
  shell.window->activateWindow();
  log.setFocus();
  ASSERT_TRUE(log.hasFocus());
  QWindow* keys = shell.window->windowHandle();
  QTest::keyClick(keys, Qt::Key_PageUp);
  const int64_t reading = log.SelectedLine();
  const int64_t firstShown = log.FirstVisibleLine();
  ASSERT_LT(reading, log.LineCount() - 1);
  shell.window->LogLine("neu");
  EXPECT_EQ(log.SelectedLine(), reading);
  EXPECT_EQ(log.FirstVisibleLine(), firstShown);
  QTest::keyClick(keys, Qt::Key_End);
  shell.window->LogLine("danach");
  EXPECT_EQ(log.SelectedLine(), log.LineCount() - 1);
  EXPECT_TRUE(FullyVisible(log, log.SelectedLine()));
}

TEST(LogView, KeysMoveTheSelectionInViewAndCtrlCCopiesItsLine) {
  WindowHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  for (int i = 0; i < 200; ++i) shell.window->LogLine("Zeile " + std::to_string(i));
  const int64_t last = log.LineCount() - 1;
  const int64_t page = log.FullyVisibleLines();
  const struct {
    Qt::Key key;
    int64_t selected;
  } steps[] = {{Qt::Key_Home, 0},           {Qt::Key_Up, 0},   {Qt::Key_Down, 1},
               {Qt::Key_PageDown, 1 + page}, {Qt::Key_End, last}, {Qt::Key_Down, last},
               {Qt::Key_PageUp, last - page}, {Qt::Key_Up, last - page - 1}};
  for (const auto& step : steps) {
    QTest::keyClick(&log, step.key);
    const std::string key = QKeySequence(step.key).toString().toStdString();
    EXPECT_EQ(log.SelectedLine(), step.selected) << key;
    EXPECT_TRUE(FullyVisible(log, log.SelectedLine())) << key;
  }
  QGuiApplication::clipboard()->setText("vorher");
  QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), log.Line(last - page - 1));
  static const QRegularExpression stamped(R"(^\[\d\d:\d\d:\d\d\] Zeile \d+$)");
  EXPECT_TRUE(stamped.match(QGuiApplication::clipboard()->text()).hasMatch());
}

TEST(LogView, ScrollsSidewaysUpToTheWidestLineSeenSinceTheLastClear) {
  WindowHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  QScrollBar& sideways = *log.horizontalScrollBar();
  for (int i = 0; i < 100; ++i) shell.window->LogLine("Zeile " + std::to_string(i));
  EXPECT_EQ(sideways.maximum(), 0);

  // The response of a 125-register read: 255 bytes, about 770 characters.
  const std::vector<uint8_t> response(255, 0xAB);
  shell.window->LogHexDump("RX", response.data(), static_cast<int64_t>(response.size()));
  QApplication::processEvents();  // the scroll bar appears
  const int dumpWidth = log.fontMetrics().horizontalAdvance(log.Line(log.LineCount() - 1));
  // The whole line can be scrolled into view, and not much more than it.
  EXPECT_GE(sideways.maximum() + log.viewport()->width(), dumpWidth);
  EXPECT_LE(sideways.maximum() + log.viewport()->width(), dumpWidth + 20);
  EXPECT_TRUE(FullyVisible(log, log.SelectedLine()));
  const QImage atStart = log.viewport()->grab().toImage();
  sideways.setValue(sideways.maximum());
  EXPECT_NE(log.viewport()->grab().toImage(), atStart);

  const int range = sideways.maximum();
  shell.window->LogLine("kurz");
  EXPECT_EQ(sideways.maximum(), range);
  QFont larger = log.font();
  larger.setPointSizeF(larger.pointSizeF() * 2);
  log.setFont(larger);
  EXPECT_GT(sideways.maximum(), range);
  QTest::mouseClick(shell.Get<QPushButton>(ControlId::ClearLogButton), Qt::LeftButton);
  EXPECT_EQ(sideways.maximum(), 0);
}

TEST(LogAccessibility, ListOfLinesNamedByTheirTextWithTheNewestSelected) {
  WindowHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&log);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->role(), QAccessible::List);
  EXPECT_EQ(list->text(QAccessible::Name), "Log");
  shell.window->LogLine("drei");
  ASSERT_EQ(list->childCount(), 3);
  for (int i = 0; i < 3; ++i) {
    QAccessibleInterface* line = list->child(i);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->role(), QAccessible::ListItem);
    EXPECT_EQ(line->text(QAccessible::Name), log.Line(i));
    EXPECT_EQ(line->state().selected, i == 2) << i;
    EXPECT_EQ(line->parent(), list);
    EXPECT_EQ(list->indexOfChild(line), i);
    EXPECT_EQ(list->child(i), line);  // asked again: the same interface
    EXPECT_EQ(list->childAt(line->rect().center().x(), line->rect().center().y()), line);
  }
  EXPECT_EQ(list->child(3), nullptr);

  // The next line takes the selection; clearing ends every line's interface.
  shell.window->LogLine("vier");
  EXPECT_FALSE(list->child(2)->state().selected);
  EXPECT_TRUE(list->child(3)->state().selected);
  const QAccessible::Id asked = QAccessible::uniqueId(list->child(3));
  QTest::mouseClick(shell.Get<QPushButton>(ControlId::ClearLogButton), Qt::LeftButton);
  EXPECT_EQ(list->childCount(), 0);
  EXPECT_EQ(list->child(0), nullptr);
  EXPECT_EQ(QAccessible::accessibleInterface(asked), nullptr);
}

// Records what the log tells assistive technology, one "event child name" line each, the stamp left out;
// an event about a line's interface itself (no object and child) shows child -1.
class AnnouncedEvents {
 public:
  AnnouncedEvents() { SetAccessibleEventSink(&Record); }
  ~AnnouncedEvents() { SetAccessibleEventSink(nullptr); }
  std::string Take() { return std::exchange(events(), {}).join('\n').toStdString(); }

 private:
  static QStringList& events() {
    static QStringList recorded;
    return recorded;
  }
  static void Record(QAccessibleEvent& event) {
    QAccessibleInterface* target = event.accessibleInterface();
    const QString name = target != nullptr ? target->text(QAccessible::Name) : QString();
    events() << QStringLiteral("%1 %2 %3")
                    .arg(QMetaEnum::fromType<QAccessible::Event>().valueToKey(event.type()))
                    .arg(event.object() != nullptr ? event.child() : -1)
                    .arg(name.startsWith('[') ? name.mid(11) : name);
  }
};

TEST(LogAccessibility, NewLinesSelectionAndClearingAreAnnounced) {
  WindowHarness shell;
  shell.ShowAndSettle();
  LogView& log = *shell.window->Log();
  shell.window->activateWindow();
  log.setFocus();
  ASSERT_TRUE(log.hasFocus());
  AnnouncedEvents events;
  shell.window->LogLine("drei");
  // The last event is the outcome's notification showing itself, which a screen reader speaks.
  EXPECT_EQ(events.Take(),
            "ObjectCreated 2 drei\nSelectionRemove 1 Bereit.\nSelection 2 drei\nFocus 2 drei\nObjectShow -1 drei");
  QTest::keyClick(&log, Qt::Key_Up);
  EXPECT_EQ(events.Take(), "SelectionRemove 2 drei\nSelection 1 Bereit.\nFocus 1 Bereit.");
  QTest::keyClick(&log, Qt::Key_Up);
  events.Take();
  // Each line a client has been told of goes (in no set order), then the list starts again.
  QTest::mouseClick(shell.Get<QPushButton>(ControlId::ClearLogButton), Qt::LeftButton);
  QStringList cleared = QString::fromStdString(events.Take()).split('\n');
  std::sort(cleared.begin(), cleared.end() - 1);
  EXPECT_EQ(cleared.join('\n').toStdString(),
            "ObjectDestroyed -1 Bereit.\nObjectDestroyed -1 Keine verfügbaren Ports gefunden.\n"
            "ObjectDestroyed -1 drei\nTableModelChanged -1 Log");
}

// Outcome lines reach a screen reader as a notification in the status bar that shows itself; frame dumps
// are data and stay quiet.
TEST(LogAccessibility, OutcomesButNotDumpsAreAnnouncedAsNotifications) {
  WindowHarness shell;
  shell.ShowAndSettle();
  AnnouncedEvents events;
  const uint8_t frame[] = {0x01, 0x03};
  shell.window->LogHexDump("RX-TCP", frame, 2);
  EXPECT_EQ(QString::fromStdString(events.Take()).count("ObjectShow"), 0);
  shell.window->LogLine("OK: FC03 – 2 Register ab 0x0000 (0)");
  EXPECT_EQ(QString::fromStdString(events.Take()).split('\n').last(), "ObjectShow -1 OK: FC03 – 2 Register ab 0x0000 (0)");
  QAccessibleInterface* notification = QAccessible::queryAccessibleInterface(
      const_cast<OutcomeAnnouncer*>(&shell.window->Announcer()));
  EXPECT_EQ(notification->role(), QAccessible::Notification);
  EXPECT_EQ(notification->parent()->role(), QAccessible::StatusBar);
  ASSERT_EQ(notification->childCount(), 1);
  EXPECT_EQ(notification->child(0)->role(), QAccessible::StaticText);
  EXPECT_EQ(notification->child(0)->text(QAccessible::Name), "OK: FC03 – 2 Register ab 0x0000 (0)");
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
  WindowHarness shell;
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
  EXPECT_EQ(shell.LogLines().last(), "Port geschlossen.");
  shell.Get<QPushButton>(ControlId::TcpDisconnectButton)->click();
  EXPECT_EQ(status.Field(1), "TCP: getrennt");
}

}  // namespace
}  // namespace varnetik
