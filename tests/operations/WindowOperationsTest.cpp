// The six operations through the real main window, offscreen: buttons clicked, fields typed, the log,
// the boxes, the tables, the status bar and the CSV file checked as the operator would see them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "app/OperationTabs.h"
#include "app/TableMenu.h"
#include "tests/operations/OperationTestSupport.h"
#include "tests/support/WindowHarness.h"
#include "tests/support/LibmodbusSlave.h"
#include "tests/support/RealInput.h"
#include "tests/support/ScriptableSlave.h"

namespace varnetik::testing {
namespace {

using M = Misbehaviour;
using Lines = std::vector<std::string>;
using Message = std::pair<QString, QString>;

constexpr const char* kShortTimeout = "200";

class WindowOperationsTest : public ::testing::Test {
 protected:
  void ConnectSerial() {
    ui.Type(ControlId::PortCombo, slave.SerialPath());
    const size_t before = ui.LogSize();
    ui.Click(ControlId::RtuConnectButton);
    // Notes on what the open could not check (other users' programs, for an ordinary user) may follow.
    ASSERT_EQ(ui.Log(before).front(), "Port geöffnet: " + slave.SerialPath());
  }
  void ConnectTcp() {
    ui.Type(ControlId::TcpPortField, std::to_string(slave.TcpPort()));
    ui.Click(ControlId::TcpConnectButton);
    ASSERT_EQ(ui.Log().back(), "TCP verbunden: 127.0.0.1:" + std::to_string(slave.TcpPort()));
  }

  ScriptableSlave slave;
  WindowHarness ui;
};

TEST_F(WindowOperationsTest, RtuWorkedExamplesWithStampedLines) {
  ConnectSerial();
  slave.SetHolding(0, {1, 2});
  size_t before = ui.LogSize();
  ui.Type(ControlId::RtuWriteManyStartField, "100");
  ui.Click(ControlId::RtuWriteManyButton);
  ui.Type(ControlId::RtuWriteManyStartField, "0");
  ui.Type(ControlId::RtuWriteManyValuesField, "1,2");
  ui.Click(ControlId::RtuWriteManyButton);
  size_t reading = ui.LogSize();
  ui.Click(ControlId::RtuReadButton);

  EXPECT_EQ(ui.Log(before),
            (Lines{
                "TX (15 B): 01 10 00 64 00 03 06 00 0A 00 14 00 1E FC E6",
                "RX (8 B): 01 10 00 64 00 03 C1 D7",
                "OK: FC16 \u2013 3 Register ab 0x0064 (100)",
                "    0x0064 (100) = $000A (10), 0x0065 (101) = $0014 (20), 0x0066 (102) = $001E (30)",
                "TX (13 B): 01 10 00 00 00 02 04 00 01 00 02 23 AE",
                "RX (8 B): 01 10 00 00 00 02 41 C8",
                "OK: FC16 \u2013 2 Register ab 0x0000 (0)",
                "    0x0000 (0) = $0001 (1), 0x0001 (1) = $0002 (2)",
                "TX (8 B): 01 03 00 00 00 02 C4 0B",
                "RX (9 B): 01 03 04 00 01 00 02 2A 32",
                "OK: FC03 \u2013 2 Register ab 0x0000 (0)",
            }));
  EXPECT_EQ(ui.Rows(ControlId::RtuResultTable),
            (std::vector<ResultRow>{{"0x0000", "0", "$0001", "1"}, {"0x0001", "1", "$0002", "2"}}));
  EXPECT_TRUE(ui.Rows(ControlId::TcpResultTable).empty());
  const std::regex stamp(R"(\[\d\d:\d\d:\d\d\] .*)");
  for (size_t i = reading; i < ui.LogSize(); ++i) EXPECT_TRUE(std::regex_match(ui.StampedLog()[i], stamp));
  EXPECT_TRUE(ui.dialogs.messages.empty());
}

TEST_F(WindowOperationsTest, TcpWorkedExample) {
  ConnectTcp();
  slave.SetHolding(0, {10, 20});
  size_t before = ui.LogSize();
  ui.Click(ControlId::TcpReadButton);

  EXPECT_EQ(ui.Log(before), (Lines{"TX-TCP (12 B): 00 01 00 00 00 06 01 03 00 00 00 02",
                                   "RX-TCP (13 B): 00 01 00 00 00 07 01 03 04 00 0A 00 14",
                                   "OK: FC03 \u2013 2 Register ab 0x0000 (0)"}));
  EXPECT_EQ(ui.Rows(ControlId::TcpResultTable),
            (std::vector<ResultRow>{{"0x0000", "0", "$000A", "10"}, {"0x0001", "1", "$0014", "20"}}));
  EXPECT_TRUE(ui.Rows(ControlId::RtuResultTable).empty());
}

// Without a link every operation button shows its hint box and nothing else.
TEST_F(WindowOperationsTest, OperationButtonsWithoutLinkShowOnlyTheHint) {
  struct Case {
    ControlId button;
    const char* hint;
  };
  const Case cases[] = {
      {ControlId::RtuReadButton, "Bitte zuerst den Port öffnen."},
      {ControlId::RtuWriteOneButton, "Bitte zuerst den Port öffnen."},
      {ControlId::RtuWriteManyButton, "Bitte zuerst den Port öffnen."},
      {ControlId::TcpReadButton, "Bitte zuerst TCP verbinden."},
      {ControlId::TcpWriteOneButton, "Bitte zuerst TCP verbinden."},
      {ControlId::TcpWriteManyButton, "Bitte zuerst TCP verbinden."},
  };
  const Lines startLog = ui.Log();
  for (const Case& c : cases) {
    ui.dialogs.messages.clear();
    ui.Click(c.button);
    EXPECT_EQ(ui.dialogs.messages, (std::vector<Message>{{"Hinweis", c.hint}}));
  }
  EXPECT_EQ(ui.Log(), startLog);
  EXPECT_EQ(ui.StatusField(0), "RTU: getrennt");
}

// With both links open, refused entries show their hint; nothing is logged or sent.
TEST_F(WindowOperationsTest, RefusedEntriesShowOnlyTheHint) {
  ConnectSerial();
  ConnectTcp();
  struct Case {
    ControlId field;
    const char* text;
    ControlId button;
    const char* hint;
    int page;
  };
  const Case cases[] = {
      {ControlId::RtuReadCountField, "126", ControlId::RtuReadButton, "Anzahl muss 1..125 sein.", 0},
      {ControlId::TcpReadCountField, "0", ControlId::TcpReadButton, "Anzahl muss 1..125 sein.", 2},
      {ControlId::RtuWriteManyValuesField, "  ", ControlId::RtuWriteManyButton,
       "Bitte Werte angeben (z. B. 10,20,30).", 1},
      {ControlId::TcpWriteManyValuesField, ",,", ControlId::TcpWriteManyButton,
       "Anzahl Werte muss 1..123 sein.", 3},
  };
  ui.window->show();
  ui.window->activateWindow();
  size_t before = ui.LogSize();
  for (const Case& c : cases) {
    ui.dialogs.messages.clear();
    ui.window->Tabs()->setCurrentIndex(c.page);
    ui.Type(c.field, c.text);
    ui.Click(c.button);
    EXPECT_EQ(ui.dialogs.messages, (std::vector<Message>{{"Hinweis", c.hint}}));
    // Once the box is closed, the refused entry has the focus, its text selected to be typed over.
    auto* field = qobject_cast<QLineEdit*>(ui.window->Control(c.field));
    EXPECT_EQ(ui.window->focusWidget(), field) << c.hint;
    EXPECT_EQ(field->selectedText().toStdString(), c.text);
  }
  EXPECT_EQ(ui.LogSize(), before);
  Settle();
  EXPECT_TRUE(slave.Requests().empty());
}

// The connect buttons' hints lead back to the port name, or to the host or the port, whichever is refused;
// a hint about a link that is not open leaves the focus where it was.
TEST_F(WindowOperationsTest, HintsLeadBackToTheRefusedEntry) {
  ui.window->show();
  ui.window->activateWindow();
  const struct {
    const char* host;
    const char* port;
    ControlId button;
    ControlId focused;
    const char* selected;
  } cases[] = {
      {"127.0.0.1", "", ControlId::RtuConnectButton, ControlId::PortCombo, ""},
      {"", "502", ControlId::TcpConnectButton, ControlId::TcpHostField, ""},
      {"127.0.0.1", "70000", ControlId::TcpConnectButton, ControlId::TcpPortField, "70000"},
      {"127.0.0.1", "502", ControlId::RtuReadButton, ControlId::RtuReadButton, ""},
  };
  for (const auto& c : cases) {
    ui.Type(ControlId::PortCombo, "");
    ui.Type(ControlId::TcpHostField, c.host);
    ui.Type(ControlId::TcpPortField, c.port);
    ui.window->Control(c.button)->setFocus();
    ui.Click(c.button);
    // The editable combo keeps the focus for its typing field.
    QWidget* expected = ui.window->Control(c.focused);
    EXPECT_EQ(ui.window->focusWidget(), expected) << ControlIdName(c.button);
    auto* combo = qobject_cast<QComboBox*>(expected);
    if (auto* field = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(expected)) {
      EXPECT_EQ(field->selectedText().toStdString(), c.selected);
    }
  }
}

// Counts the paint events a widget gets while a handler runs.
class PaintsDuringHandler : public QObject {
 public:
  PaintsDuringHandler(QWidget& widget, const MainWindow& window) : window_(window) { widget.installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && window_.Gate().Running()) ++count;
    return false;
  }

 private:
  const MainWindow& window_;
};

// While a read waits for an answer that never comes, the window paints; clicks and an accessibility press
// made meanwhile run afterwards, one after the other in the order made; a close waits for the end.
TEST_F(WindowOperationsTest, WaitingHandlerPaintsAndRunsWhatCameMeanwhileAfterIt) {
  ui.window->show();
  QApplication::processEvents();
  ConnectSerial();
  ConnectTcp();
  ui.Type(ControlId::RtuTimeoutSpin, kShortTimeout);
  slave.Script({{M::Silent}});
  PaintsDuringHandler paints(*ui.window->Log()->viewport(), *ui.window);
  bool duringWait = false;
  bool busyCursor = false;
  size_t logDuringWait = 0;
  QTimer::singleShot(0, [&] {
    duringWait = ui.window->Gate().Running();
    busyCursor = QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    ui.window->Log()->viewport()->update();
    ui.Click(ControlId::ClearLogButton);
    ui.Click(ControlId::TcpDisconnectButton);
    QAccessible::queryAccessibleInterface(ui.window->Control(ControlId::ScanButton))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    ui.window->close();
    logDuringWait = ui.LogSize();
  });
  const size_t before = ui.LogSize();
  ui.Click(ControlId::RtuReadButton);
  EXPECT_TRUE(duringWait);
  EXPECT_TRUE(busyCursor);
  EXPECT_GT(paints.count, 0);
  // Nothing of it ran inside the read: the log still held the lines from before.
  EXPECT_EQ(logDuringWait, before + 1);  // the request dump
  // The scan lists the open serial port.
  EXPECT_EQ(ui.Log(), (Lines{"TCP getrennt.", "Gefundene COM Ports: 1", "Portliste aktualisiert."}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(ui.window->isVisible());
  QApplication::processEvents();
  EXPECT_FALSE(ui.window->isVisible());
}

// The TCP receive wait serves the window as the serial one does.
TEST_F(WindowOperationsTest, WaitOnTcpPaintsToo) {
  ui.window->show();
  QApplication::processEvents();
  ConnectTcp();
  ui.Type(ControlId::TcpTimeoutSpin, kShortTimeout);
  slave.Script({{M::Silent}});
  PaintsDuringHandler paints(*ui.window->Log()->viewport(), *ui.window);
  QTimer::singleShot(0, [&] { ui.window->Log()->viewport()->update(); });
  ui.Click(ControlId::TcpReadButton);
  EXPECT_GT(paints.count, 0);
}

// A failure is logged and boxed; the rows of the earlier read stay.
TEST_F(WindowOperationsTest, FailuresKeepTheTables) {
  ConnectSerial();
  ConnectTcp();
  ui.Type(ControlId::RtuTimeoutSpin, kShortTimeout);
  ui.Type(ControlId::TcpTimeoutSpin, kShortTimeout);
  slave.SetHolding(0, {5, 6});
  struct Case {
    ControlId button;
    ControlId table;
    Reply reply;
    const char* message;
  };
  const Case cases[] = {
      {ControlId::RtuReadButton, ControlId::RtuResultTable, {M::BadCrc}, "CRC-Fehler (FC03/04)."},
      {ControlId::TcpReadButton,
       ControlId::TcpResultTable,
       {M::Exception, 2},
       "Modbus-Exception: ILLEGAL DATA ADDRESS (02)"},
  };
  for (const Case& c : cases) {
    ui.Click(c.button);
    std::vector<ResultRow> earlier = ui.Rows(c.table);
    ASSERT_EQ(earlier.size(), 2u);
    ui.dialogs.messages.clear();
    slave.Script({c.reply});
    size_t before = ui.LogSize();
    ui.Click(c.button);

    Lines log = ui.Log(before);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("TX", 0), 0u);
    EXPECT_EQ(log[1], std::string("! ") + c.message);
    EXPECT_EQ(ui.dialogs.messages, (std::vector<Message>{{"Fehler", c.message}}));
    EXPECT_EQ(ui.Rows(c.table), earlier);
  }
}

TEST_F(WindowOperationsTest, RtuWriteManyResendsOnceAfterCode7) {
  ConnectSerial();
  ui.Type(ControlId::RtuTimeoutSpin, kShortTimeout);
  slave.Script({{M::Exception, 7}});
  size_t before = ui.LogSize();
  ui.Click(ControlId::RtuWriteManyButton);

  EXPECT_EQ(ui.Log(before),
            (Lines{"TX (15 B): 01 10 00 00 00 03 06 00 0A 00 14 00 1E BE 8D",
                   "Hinweis: RTU-Stream neu synchronisieren \u2013 RX spülen & einmal erneut senden...",
                   "RX (8 B): 01 10 00 00 00 03 80 08", "OK: FC16 \u2013 3 Register ab 0x0000 (0)",
                   "    0x0000 (0) = $000A (10), 0x0001 (1) = $0014 (20), 0x0002 (2) = $001E (30)"}));
  EXPECT_EQ(slave.WaitForRequests(2).size(), 2u);
  EXPECT_TRUE(ui.dialogs.messages.empty());
}

// One resync that succeeds, then a server that is gone: the status bar keeps showing the connection
// until a connect button refreshes it, and the next click finds no connection.
TEST_F(WindowOperationsTest, TcpResyncThenFailedReconnect) {
  ConnectTcp();
  ui.Type(ControlId::TcpTimeoutSpin, kShortTimeout);
  const std::string connected = "TCP: verbunden (127.0.0.1:" + std::to_string(slave.TcpPort()) + ")";
  ASSERT_EQ(ui.StatusField(1), connected);
  const std::string resyncLine =
      "Hinweis: TCP-Stream neu synchronisieren \u2013 Verbindung wird neu aufgebaut...";

  slave.Script({{M::Exception, 7}});
  size_t before = ui.LogSize();
  ui.Type(ControlId::TcpWriteValueField, "42");
  ui.Click(ControlId::TcpWriteOneButton);
  EXPECT_EQ(ui.Log(before), (Lines{resyncLine, "TCP erneut verbunden. Erneuter Schreibversuch (FC06)...",
                                   "TX-TCP (12 B): 00 02 00 00 00 06 01 06 00 00 00 2A",
                                   "RX-TCP (12 B): 00 02 00 00 00 06 01 06 00 00 00 2A",
                                   "OK: FC06 (TCP) \u2013 Reg 0x0000 (0) := $002A (42)"}));

  slave.StopListening();
  slave.Script({{M::Reset}});
  before = ui.LogSize();
  ui.Click(ControlId::TcpReadButton);
  EXPECT_EQ(ui.Log(before), (Lines{resyncLine, "TX-TCP (12 B): 00 03 00 00 00 06 01 03 00 00 00 02",
                                   "! TCP: Verbindung abgebrochen."}));
  EXPECT_EQ(ui.dialogs.messages, (std::vector<Message>{{"Fehler", "TCP: Verbindung abgebrochen."}}));
  EXPECT_EQ(ui.StatusField(1), connected);

  ui.dialogs.messages.clear();
  ui.Click(ControlId::TcpWriteManyButton);
  EXPECT_EQ(ui.dialogs.messages, (std::vector<Message>{{"Hinweis", "Bitte zuerst TCP verbinden."}}));
  EXPECT_EQ(ui.StatusField(1), connected);
}

// TCP requests carry the slave id of the last serial action, not the spin's current value.
TEST_F(WindowOperationsTest, SlaveIdSpinReachesTcpOnlyThroughASerialAction) {
  ConnectSerial();
  ConnectTcp();
  ui.Type(ControlId::SlaveIdSpin, "5");
  ui.Click(ControlId::TcpReadButton);
  ui.Click(ControlId::RtuReadButton);
  ui.Click(ControlId::TcpReadButton);

  std::vector<Bytes> requests = slave.WaitForRequests(3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0][6], 1);
  EXPECT_EQ(requests[1][0], 5);
  EXPECT_EQ(requests[2][6], 5);
}

struct InteropCase {
  const char* name;
  LibmodbusSlave::Link link;
};
void PrintTo(const InteropCase& c, std::ostream* os) { *os << c.name; }

class WindowLibmodbusTest : public ::testing::TestWithParam<InteropCase> {};

std::string Typed(const std::vector<uint16_t>& values) {
  std::string text;
  for (uint16_t value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
  return text;
}

// What the CSV file must hold for registers start.. with these values, built from the slave's side.
std::string ExpectedCsv(uint16_t start, const std::vector<uint16_t>& values) {
  std::string csv = "Adresse;Adresse dez.;Hex;Dezimal\r\n";
  for (size_t k = 0; k < values.size(); ++k) {
    char line[64];
    unsigned address = static_cast<uint16_t>(start + k);
    std::snprintf(line, sizeof line, "0x%04X;%u;$%04X;%u\r\n", address, address, values[k], values[k]);
    csv += line;
  }
  return csv;
}

// Shows the table's page, right-clicks its first row and chooses the save item with the keyboard.
void ExportTable(WindowHarness& ui, ControlId id, const QString& path) {
  ui.window->show();
  QTabBar* tabs = ui.window->Tabs()->tabBar();
  LeftClick(tabs, tabs->tabRect(id == ControlId::RtuResultTable ? 0 : 2).center());
  ResultTable* table = ui.window->Table(id);
  RightClick(table->viewport(), table->visualItemRect(table->topLevelItem(0)).center());
  QMenu* menu = OpenPopupMenu();
  ASSERT_NE(menu, nullptr);
  ui.dialogs.nextSavePath = path;
  ChooseMenuItem(*menu, *MenuAction(*menu, kSaveCsvItem), Choice::Keyboard);
  QApplication::processEvents();
}

// libmodbus on the other end: read 125 into the table, write one, write 123, read them back, and save the
// table as CSV; every step checked against what libmodbus holds.
TEST_P(WindowLibmodbusTest, ReadWriteReadBackAndExport) {
  const bool serial = GetParam().link == LibmodbusSlave::Link::Rtu;
  LibmodbusSlave slave(GetParam().link);
  WindowHarness ui;
  if (serial) {
    ui.Type(ControlId::PortCombo, slave.SerialPath());
    ui.Click(ControlId::RtuConnectButton);
  } else {
    ui.Type(ControlId::TcpPortField, std::to_string(slave.TcpPort()));
    ui.Click(ControlId::TcpConnectButton);
  }
  auto id = [serial](ControlId rtu, ControlId tcp) { return serial ? rtu : tcp; };
  const ControlId table = id(ControlId::RtuResultTable, ControlId::TcpResultTable);

  std::vector<uint16_t> held;
  for (unsigned k = 0; k < 125; ++k) held.push_back(static_cast<uint16_t>(k * 521 + 0x0A0D));
  slave.SetHolding(500, held);
  ui.Type(id(ControlId::RtuReadStartField, ControlId::TcpReadStartField), "500");
  ui.Type(id(ControlId::RtuReadCountField, ControlId::TcpReadCountField), "125");
  ui.Click(id(ControlId::RtuReadButton, ControlId::TcpReadButton));
  ASSERT_EQ(ui.Rows(table).size(), 125u);
  EXPECT_EQ(ui.Rows(table).back().valueDec, std::to_string(held.back()));

  ui.Type(id(ControlId::RtuWriteAddressField, ControlId::TcpWriteAddressField), "$1000");
  ui.Type(id(ControlId::RtuWriteValueField, ControlId::TcpWriteValueField), "-2");
  ui.Click(id(ControlId::RtuWriteOneButton, ControlId::TcpWriteOneButton));
  EXPECT_EQ(slave.Holding(0x1000, 1), std::vector<uint16_t>{65534});

  std::vector<uint16_t> written;
  for (unsigned k = 0; k < 123; ++k) written.push_back(static_cast<uint16_t>(65535 - k * 300));
  ui.Type(id(ControlId::RtuWriteManyStartField, ControlId::TcpWriteManyStartField), "3000");
  ui.Type(id(ControlId::RtuWriteManyValuesField, ControlId::TcpWriteManyValuesField), Typed(written));
  ui.Click(id(ControlId::RtuWriteManyButton, ControlId::TcpWriteManyButton));
  EXPECT_EQ(slave.Holding(3000, 123), written);

  ui.Type(id(ControlId::RtuReadStartField, ControlId::TcpReadStartField), "3000");
  ui.Type(id(ControlId::RtuReadCountField, ControlId::TcpReadCountField), "123");
  ui.Click(id(ControlId::RtuReadButton, ControlId::TcpReadButton));
  EXPECT_EQ(ui.Rows(table).size(), 123u);
  EXPECT_TRUE(ui.dialogs.messages.empty());

  QTemporaryDir directory;
  ASSERT_TRUE(directory.isValid());
  const QString path = directory.filePath("register.csv");
  ExportTable(ui, table, path);
  EXPECT_EQ(ui.Log().back(), "CSV gespeichert: " + path.toStdString());
  std::ifstream file(path.toStdString(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, ExpectedCsv(3000, slave.Holding(3000, 123)));
}

INSTANTIATE_TEST_SUITE_P(Links, WindowLibmodbusTest,
                         ::testing::Values(InteropCase{"Rtu", LibmodbusSlave::Link::Rtu},
                                           InteropCase{"Tcp", LibmodbusSlave::Link::Tcp}), ByName);

}  // namespace
}  // namespace varnetik::testing
