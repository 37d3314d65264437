// The real main window driven with mouse and key messages at its controls against a Modbus TCP peer on
// 127.0.0.1: the six operations, the wait, the log, the tables, the Tab order and the names the labels
// give to the fields.
#include <gtest/gtest.h>

#include <memory>

#include "operator/MainWindowControls.h"
#include "tests/win32/ModbusPeer.h"
#include "tests/win32/WindowDriver.h"
#include "win32/InfoWindow.h"
#include "win32/MainWindow.h"
#include "win32/WideText.h"

namespace varnetik::testing {
namespace {

using win32::MainWindow;

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    win32::WindowConfig config;  // no serial port is probed: the tests speak TCP
    window_ = std::make_unique<MainWindow>(state_, config);
    driver_ = std::make_unique<WindowDriver>(*window_);
    driver_->Settle();
  }
  ~WindowTest() override {
    state_.tcp.Close();
    driver_.reset();
    window_.reset();
  }

  HWND Control(ControlId id) const { return window_->Control(id); }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    for (int64_t i = 0; i < window_->Log().LineCount(); ++i) lines.push_back(window_->Log().Line(i));
    return lines;
  }
  // The last log line without its "[hh:mm:ss] " stamp.
  std::string LastLogText() const {
    const std::vector<std::string> lines = Log();
    return lines.empty() ? std::string() : lines.back().substr(11);
  }
  std::string StatusField(int index) const {
    wchar_t text[256] = {};
    ::SendMessageW(window_->StatusBar(), SB_GETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return win32::Utf8(text);
  }
  std::string Cell(ControlId table, int row, int column) const {
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(Control(table), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return win32::Utf8(text);
  }
  int Rows(ControlId table) const { return static_cast<int>(::SendMessageW(Control(table), LVM_GETITEMCOUNT, 0, 0)); }

  void ConnectTcp() {
    driver_->Type(ControlId::TcpPortField, std::to_string(peer_.Port()));
    driver_->Click(Control(ControlId::TcpConnectButton));
    ASSERT_EQ(StatusField(1), "TCP: verbunden (127.0.0.1:" + std::to_string(peer_.Port()) + ")");
  }
  // Serves the window until a handler has ended with a message box, answered; returns the boxes.
  std::vector<SeenBox> UntilBoxAnswered() {
    EXPECT_TRUE(driver_->PumpUntil([this] { return !window_->Gate().Running() && driver_->BoxCount() > 0; }));
    driver_->Settle();
    return driver_->TakeBoxes();
  }
  std::vector<SeenBox> PressExpectingBox(ControlId button) {
    WindowDriver::PostClick(Control(button));
    return UntilBoxAnswered();
  }

  ModbusPeer peer_;
  AppState state_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<WindowDriver> driver_;
};

TEST_F(WindowTest, StartsWithTheStatusAndTheReadyLine) {
  EXPECT_EQ(StatusField(0), "RTU: getrennt");
  EXPECT_EQ(StatusField(1), "TCP: getrennt");
  EXPECT_EQ(LastLogText(), "Bereit.");
}

// A scan that finds no port leaves the port field empty and the port name as it was, and says so.
TEST_F(WindowTest, AScanWithoutPortsKeepsThePortName) {
  driver_->Click(Control(ControlId::ScanButton));
  EXPECT_EQ(LastLogText(), "Portliste aktualisiert.");
  EXPECT_EQ(window_->ControlText(ControlId::PortCombo), "");
  EXPECT_EQ(state_.rtu.portName, "COM3");
}

TEST_F(WindowTest, TcpOperationsReachThePeerTheTableAndTheLog) {
  ConnectTcp();
  driver_->ClickTab(2);
  driver_->Type(ControlId::TcpReadStartField, "10");
  driver_->Type(ControlId::TcpReadCountField, "125");
  driver_->Click(Control(ControlId::TcpReadButton));
  EXPECT_TRUE(driver_->TakeBoxes().empty());
  ASSERT_EQ(Rows(ControlId::TcpResultTable), 125);
  // Row k: address 10 + k, value 3 x address.
  const struct {
    int row;
    const char* cells[4];
  } rows[] = {{0, {"0x000A", "10", "$001E", "30"}}, {124, {"0x0086", "134", "$0192", "402"}}};
  for (const auto& expected : rows) {
    for (int column = 0; column < 4; ++column) {
      EXPECT_EQ(Cell(ControlId::TcpResultTable, expected.row, column), expected.cells[column]);
    }
  }
  EXPECT_EQ(LastLogText().rfind("OK: FC03", 0), 0u) << LastLogText();

  driver_->ClickTab(3);
  driver_->Type(ControlId::TcpWriteAddressField, "5");
  driver_->Type(ControlId::TcpWriteValueField, "255");
  driver_->Click(Control(ControlId::TcpWriteOneButton));
  EXPECT_EQ(peer_.Register(5), 255);
  EXPECT_EQ(LastLogText().rfind("OK: FC06", 0), 0u) << LastLogText();

  driver_->Type(ControlId::TcpWriteManyStartField, "100");
  driver_->Type(ControlId::TcpWriteManyValuesField, "10,20,30");
  driver_->Click(Control(ControlId::TcpWriteManyButton));
  EXPECT_EQ((std::vector<uint16_t>{peer_.Register(100), peer_.Register(101), peer_.Register(102)}),
            (std::vector<uint16_t>{10, 20, 30}));
  EXPECT_TRUE(driver_->TakeBoxes().empty());

  driver_->Click(Control(ControlId::ClearLogButton));
  EXPECT_EQ(window_->Log().LineCount(), 0);
}

std::string ClipboardText() {
  std::string text;
  if (!::OpenClipboard(nullptr)) return text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = win32::Utf8(static_cast<const wchar_t*>(::GlobalLock(data)));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

// The table's menu opened by a right click on the first row, its items chosen with the arrow keys: the
// clipboard gets the cell or the row, the save dialog writes the table.
TEST_F(WindowTest, TheTableMenuCopiesAndSaves) {
  ConnectTcp();
  driver_->ClickTab(2);
  driver_->Type(ControlId::TcpReadStartField, "10");
  driver_->Click(Control(ControlId::TcpReadButton));
  HWND table = Control(ControlId::TcpResultTable);
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  const std::wstring csv = std::wstring(folder) + L"varnetik-win32-\u00e4-test.csv";
  ::DeleteFileW(csv.c_str());
  const struct {
    int downs;  // arrow presses from the menu's top; separators are skipped
    const char* clipboard;
  } items[] = {{1, "0x000A"}, {4, "30"}, {5, "0x000A\t10\t$001E\t30"}, {6, nullptr}};
  for (const auto& item : items) {
    SCOPED_TRACE(item.downs);
    if (item.clipboard == nullptr) driver_->SaveNextAs(csv);
    RECT row{};
    ListView_GetItemRect(table, 0, &row, LVIR_LABEL);
    const LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    ::PostMessageW(table, WM_RBUTTONDOWN, MK_RBUTTON, at);
    ::PostMessageW(table, WM_RBUTTONUP, 0, at);
    for (int i = 0; i < item.downs; ++i) WindowDriver::PostKey(table, VK_DOWN);
    WindowDriver::PostKey(table, VK_RETURN);
    driver_->Settle();
    if (item.clipboard != nullptr) {
      EXPECT_EQ(ClipboardText(), item.clipboard);
    }
  }
  for (const SeenBox& box : driver_->TakeBoxes()) ADD_FAILURE() << box.title << ": " << box.text;
  HANDLE file = ::CreateFileW(csv.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << LastLogText();
  char bytes[256] = {};
  DWORD read = 0;
  ::ReadFile(file, bytes, sizeof bytes, &read, nullptr);
  ::CloseHandle(file);
  ::DeleteFileW(csv.c_str());
  EXPECT_EQ(std::string(bytes, read), "Adresse;Adresse dez.;Hex;Dezimal\r\n0x000A;10;$001E;30\r\n0x000B;11;$0021;33\r\n");
  EXPECT_EQ(LastLogText(), "CSV gespeichert: " + win32::Utf8(csv));
}

// A failure is reported twice: a "! " line in the log and a "Fehler" box with the same message; a failed
// read leaves the table as it was.
TEST_F(WindowTest, FailuresReachTheLogAndABoxAndKeepTheTable) {
  ConnectTcp();
  driver_->ClickTab(2);
  driver_->Click(Control(ControlId::TcpReadButton));
  ASSERT_EQ(Rows(ControlId::TcpResultTable), 2);
  for (uint16_t start : {ModbusPeer::kExceptionAddress, ModbusPeer::kSilentAddress}) {
    SCOPED_TRACE(start);
    driver_->Type(ControlId::TcpReadStartField, std::to_string(start));
    const std::vector<SeenBox> boxes = PressExpectingBox(ControlId::TcpReadButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Fehler");
    EXPECT_EQ(LastLogText(), "! " + boxes[0].text);
    EXPECT_EQ(Rows(ControlId::TcpResultTable), 2);
  }
}

TEST_F(WindowTest, AnEntryOutOfRangeIsAHintAndSendsNothing) {
  ConnectTcp();
  driver_->ClickTab(2);
  driver_->Type(ControlId::TcpReadCountField, "126");
  const size_t lines = Log().size();
  EXPECT_EQ(PressExpectingBox(ControlId::TcpReadButton),
            (std::vector<SeenBox>{{"Hinweis", "Anzahl muss 1..125 sein."}}));
  EXPECT_EQ(Log().size(), lines);
  // The refused entry has the focus again, its text selected to be typed over.
  EXPECT_EQ(::GetFocus(), Control(ControlId::TcpReadCountField));
  DWORD from = 1, to = 0;
  ::SendMessageW(Control(ControlId::TcpReadCountField), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(std::make_pair(from, to), std::make_pair(DWORD{0}, DWORD{3}));
}

// What the operator clicks while a handler waits is kept and handled after it, never inside it: the
// log cleared meanwhile would otherwise go on with the failed read's lines.
TEST_F(WindowTest, AClickDuringAWaitIsHandledAfterTheHandler) {
  ConnectTcp();
  driver_->ClickTab(2);
  driver_->Type(ControlId::TcpReadStartField, std::to_string(ModbusPeer::kSilentAddress));
  WindowDriver::PostClick(Control(ControlId::TcpReadButton));
  WindowDriver::PostClick(Control(ControlId::ClearLogButton));
  EXPECT_EQ(UntilBoxAnswered().size(), 1u);
  EXPECT_EQ(window_->Log().LineCount(), 0);
}

// Window messages are served during the wait, not after it, and the cursor shows the wait meanwhile.
TEST_F(WindowTest, WindowMessagesAreServedDuringAWait) {
  struct Seen {
    bool served = false;
    bool duringHandler = false;
    bool busyCursor = false;
    const win32::HandlerGate* gate = nullptr;
  } seen;
  seen.gate = &window_->Gate();
  HWND observer = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ::SetWindowLongPtrW(observer, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  ::SetWindowLongPtrW(observer, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_APP) {
      auto* s = reinterpret_cast<Seen*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
      s->served = true;
      s->duringHandler = s->gate->Running();
      s->busyCursor = s->gate->Busy();
      return 0;
    }
    return ::DefWindowProcW(w, m, wp, lp);
  }));
  ConnectTcp();
  driver_->ClickTab(2);
  driver_->Type(ControlId::TcpReadStartField, std::to_string(ModbusPeer::kSilentAddress));
  WindowDriver::PostClick(Control(ControlId::TcpReadButton));
  ::PostMessageW(observer, WM_APP, 0, 0);
  UntilBoxAnswered();
  ::DestroyWindow(observer);
  EXPECT_TRUE(seen.served);
  EXPECT_TRUE(seen.duringHandler);
  EXPECT_TRUE(seen.busyCursor);
}

// "Info..." from the window menu by keyboard (Alt, the arrow into the menu, Enter), twice: one info window.
TEST_F(WindowTest, InfoTwiceShowsOneInfoWindow) {
  std::vector<HWND> shown;
  for (int time = 0; time < 2; ++time) {
    HWND main = window_->Handle();
    ::PostMessageW(main, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
    ::PostMessageW(main, WM_SYSKEYUP, VK_MENU, 0xC0000001);
    WindowDriver::PostKey(main, VK_DOWN);
    WindowDriver::PostKey(main, VK_RETURN);
    driver_->Settle();
    shown.push_back(win32::InfoWindowHandle());
  }
  ASSERT_NE(shown[0], nullptr);
  EXPECT_EQ(shown[1], shown[0]);
  int infoWindows = 0;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM count) {
        wchar_t title[16] = {};
        ::GetWindowTextW(window, title, 16);
        if (::IsWindowVisible(window) && std::wstring(title) == L"Info") ++*reinterpret_cast<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&infoWindows));
  EXPECT_EQ(infoWindows, 1);
  ::DestroyWindow(shown[0]);
}

// Tab walks the controls in creation order, skipping the hidden pages, and comes round again.
TEST_F(WindowTest, TabFollowsTheCreationOrder) {
  using I = ControlId;
  const std::vector<ControlId> order{
      I::PortCombo,        I::BaudCombo,         I::ParityCombo,       I::DataBitsCombo,   I::StopBitsCombo,
      I::SlaveIdSpin,      I::RtuTimeoutSpin,    I::ScanButton,        I::RtuConnectButton, I::RtuDisconnectButton,
      I::TcpHostField,     I::TcpPortField,      I::TcpTimeoutSpin,    I::TcpConnectButton, I::TcpDisconnectButton,
      I::OperationTabs,    I::RtuReadTypeCombo,  I::RtuReadStartField, I::RtuReadCountField, I::RtuReadButton,
      I::RtuResultTable,   I::LogList,           I::ClearLogButton,    I::PortCombo};
  ::SetFocus(Control(I::PortCombo));
  const auto focused = [this] {
    HWND focus = ::GetFocus();
    for (HWND w = focus; w != nullptr; w = ::GetParent(w)) {
      if (w == Control(ControlId::PortCombo)) return ControlId::PortCombo;
      const int id = ::GetDlgCtrlID(w);
      if (ControlIdName(static_cast<ControlId>(id)).size() > 0 && Control(static_cast<ControlId>(id)) == w) {
        return static_cast<ControlId>(id);
      }
    }
    return static_cast<ControlId>(0);
  };
  std::vector<ControlId> walked{focused()};
  for (size_t step = 1; step < order.size(); ++step) {
    driver_->Key(VK_TAB);
    walked.push_back(focused());
  }
  EXPECT_EQ(walked, order);
}

// Windows names a field after the label created just before it: each label must come right before its field.
TEST_F(WindowTest, EachFieldFollowsItsLabel) {
  const std::vector<ControlPlan>& plans = MainWindowControls();
  int checked = 0;
  for (size_t i = 1; i < plans.size(); ++i) {
    if (plans[i - 1].kind != ControlKind::Label || !plans[i].id) continue;
    HWND before = ::GetWindow(Control(*plans[i].id), GW_HWNDPREV);
    wchar_t text[64] = {};
    ::GetWindowTextW(before, text, 64);
    EXPECT_EQ(win32::Utf8(text), plans[i - 1].caption) << ControlIdName(*plans[i].id);
    ++checked;
  }
  EXPECT_EQ(checked, 24);
}

}  // namespace
}  // namespace varnetik::testing
