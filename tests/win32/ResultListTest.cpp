// The result tables of the native window: their columns, the rows read back as a screen reader or the
// tests read them (LVM_GETITEMTEXTW), the context menu opened by a real right-click or the menu key and
// answered by key presses, what its items put on the clipboard and the CSV it saves.
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "tests/win32/TablesTestWindow.h"
#include "win32/ResultList.h"
#include "win32/UnicodeClipboard.h"
#include "win32/WideText.h"

namespace varnetik::win32 {
namespace {

namespace fs = std::filesystem;
using testing::IdleStep;
using testing::PressKey;
using testing::TablesTestWindow;

// A read of four registers from 65534 wraps to 0 and 1.
const std::vector<ResultRow> kWrappedRows = {
    {"0xFFFE", "65534", "$00FF", "255"},
    {"0xFFFF", "65535", "$0000", "0"},
    {"0x0000", "0", "$FFFF", "65535"},
    {"0x0001", "1", "$000A", "10"},
};
const std::vector<ResultRow> kTcpRows = {{"0x000A", "10", "$1234", "4660"}, {"0x000B", "11", "$0000", "0"}};

const char kHeader[] = "Adresse;Adresse dez.;Hex;Dezimal\r\n";
const std::string kRtuCsv = std::string(kHeader) +
                            "0xFFFE;65534;$00FF;255\r\n0xFFFF;65535;$0000;0\r\n0x0000;0;$FFFF;65535\r\n"
                            "0x0001;1;$000A;10\r\n";
const std::string kTcpCsv = std::string(kHeader) + "0x000A;10;$1234;4660\r\n0x000B;11;$0000;0\r\n";

// Read back with the list view's own message, not through the code under test.
std::string CellText(HWND list, int row, int column) {
  wchar_t text[64] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

std::vector<ResultRow> ReadRows(HWND list) {
  std::vector<ResultRow> rows;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    rows.push_back({CellText(list, row, 0), CellText(list, row, 1), CellText(list, row, 2), CellText(list, row, 3)});
    EXPECT_EQ(CellText(list, row, 4), "") << row;
  }
  return rows;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The menu's lines, top to bottom; Down presses from nothing highlighted reach each item.
const std::vector<std::string> kRowOneMenu = {
    "4100 Adresse (hex) kopieren: 0xFFFF", "4101 Adresse (dez) kopieren: 65535", "---",
    "4102 Wert (hex) kopieren: $0000",     "4103 Wert (dez) kopieren: 0",        "---",
    "4104 Komplette Zeile kopieren",       "---",                               "4105 Tabelle als CSV speichern..."};
int DownsTo(int item) { return item - 4100 + 1; }

IdleStep ChooseInMenu(int downs) {
  return {MSGF_MENU, [downs](HWND) {
            for (int i = 0; i < downs; ++i) PressKey(VK_DOWN);
            PressKey(VK_RETURN);
          }};
}
IdleStep CloseMenu() {
  return {MSGF_MENU, [](HWND) { PressKey(VK_ESCAPE); }};
}

class ResultListFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    FillResultList(shell.rtuList, kWrappedRows);
    FillResultList(shell.tcpList, kTcpRows);
    ASSERT_EQ(GetForegroundWindow(), shell.window);
  }
  HWND List(ControlId id) const { return id == ControlId::RtuResultTable ? shell.rtuList : shell.tcpList; }

  TablesTestWindow shell;
};

TEST_F(ResultListFixture, FiveColumnsScaledReportStylesAndRowsReplacedWhole) {
  const HWND list = shell.rtuList;
  EXPECT_EQ(GetDlgCtrlID(list), static_cast<int>(ControlId::RtuResultTable));
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  for (LONG_PTR bit : std::initializer_list<LONG_PTR>{LVS_REPORT, LVS_SINGLESEL, LVS_SHOWSELALWAYS, LVS_NOSORTHEADER, WS_TABSTOP}) {
    EXPECT_EQ(style & bit, bit) << std::hex << bit;
  }
  EXPECT_EQ(style & LVS_EDITLABELS, 0);
  EXPECT_NE(GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_NE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT, 0u);
  EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & LVS_EX_GRIDLINES, 0u);
  const HWND header = ListView_GetHeader(list);
  ASSERT_EQ(Header_GetItemCount(header), kResultColumnCount);
  const int dpi = static_cast<int>(GetDpiForWindow(list));
  for (int column = 0; column < kResultColumnCount; ++column) {
    wchar_t title[32] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = title;
    info.cchTextMax = 32;
    ListView_GetColumn(list, column, &info);
    EXPECT_EQ(Utf8(title), kResultColumnTitles[column]);
    EXPECT_EQ(ListView_GetColumnWidth(list, column), MulDiv(kResultColumnWidths[column], dpi, 96)) << column;
  }

  const std::vector<ResultRow> many = [] {
    std::vector<ResultRow> rows;
    for (int k = 0; k < 125; ++k) rows.push_back({"0x" + std::to_string(k), std::to_string(k), "$", "0"});
    return rows;
  }();
  for (const std::vector<ResultRow>& rows : {kWrappedRows, many, kTcpRows, std::vector<ResultRow>{}}) {
    FillResultList(list, rows);
    EXPECT_EQ(ReadRows(list), rows);
    EXPECT_TRUE(IsWindowVisible(list));
  }
}

TEST_F(ResultListFixture, ItemsCopyTheCellsOfTheTableTheMenuWasOpenedOn) {
  const struct {
    ControlId table;
    int row;
    int item;
    const char* clipboard;
  } cases[] = {
      {ControlId::RtuResultTable, 1, 4100, "0xFFFF"},
      {ControlId::RtuResultTable, 1, 4101, "65535"},
      {ControlId::RtuResultTable, 1, 4102, "$0000"},
      {ControlId::RtuResultTable, 1, 4103, "0"},
      {ControlId::RtuResultTable, 1, 4104, "0xFFFF\t65535\t$0000\t0"},
      {ControlId::RtuResultTable, 2, 4104, "0x0000\t0\t$FFFF\t65535"},
      {ControlId::TcpResultTable, 0, 4100, "0x000A"},
      {ControlId::TcpResultTable, 0, 4102, "$1234"},
      {ControlId::TcpResultTable, 0, 4104, "0x000A\t10\t$1234\t4660"},
  };
  for (const auto& c : cases) {
    SetClipboardText(shell.window, "vorher");
    shell.script = {ChooseInMenu(DownsTo(c.item))};
    shell.RightClickRow(List(c.table), c.row);
    EXPECT_TRUE(shell.script.empty()) << c.item;
    EXPECT_EQ(ResultListSelectedRow(List(c.table)), c.row);
    EXPECT_EQ(ClipboardText(shell.window), c.clipboard) << c.item;
  }
  EXPECT_FALSE(shell.abandoned);
  EXPECT_EQ(shell.console.events, std::vector<std::string>());
}

TEST_F(ResultListFixture, CtrlCCopiesTheSelectedRowAsTheMenuDoes) {
  const struct {
    ControlId table;
    int row;
    const char* clipboard;
  } cases[] = {
      {ControlId::TcpResultTable, 1, "0x000B\t11\t$0000\t0"},
      {ControlId::RtuResultTable, 2, "0x0000\t0\t$FFFF\t65535"},
  };
  for (const auto& c : cases) {
    SetClipboardText(shell.window, "vorher");
    testing::LeftClickAt(testing::RowCentre(List(c.table), c.row));
    PressKey('C', VK_CONTROL);
    testing::DrainMessages();
    EXPECT_EQ(ClipboardText(shell.window), c.clipboard) << c.row;
  }
}

TEST_F(ResultListFixture, MenuNamesTheRowsCellsAndOpensOnlyForASelectedRow) {
  shell.script = {CloseMenu()};
  shell.RightClickRow(shell.rtuList, 1);
  EXPECT_EQ(shell.lastMenu, kRowOneMenu);
  // One pixel up and to the left of the pointer, so that the button's release lands on no item.
  const POINT pointer = testing::RowCentre(shell.rtuList, 1);
  EXPECT_EQ(shell.lastMenuAt.x, pointer.x - 1);
  EXPECT_EQ(shell.lastMenuAt.y, pointer.y - 1);

  // A right-click on empty space keeps the selected row and opens its menu.
  shell.script = {CloseMenu()};
  shell.RightClickRow(shell.rtuList, 3);
  shell.script = {CloseMenu()};
  shell.RightClickRow(shell.rtuList, -1);
  EXPECT_EQ(ResultListSelectedRow(shell.rtuList), 3);
  ASSERT_FALSE(shell.lastMenu.empty());
  EXPECT_EQ(shell.lastMenu[0], "4100 Adresse (hex) kopieren: 0x0001");

  // Nothing selected: no menu.
  ListView_SetItemState(shell.rtuList, -1, 0, LVIS_SELECTED);
  shell.RightClickRow(shell.rtuList, -1);
  EXPECT_TRUE(shell.lastMenu.empty());
  EXPECT_FALSE(shell.abandoned);
}

// The menu key and Shift+F10 open the menu for the row with the focus mark (the first when none has it),
// selecting it; the items then copy that row.
TEST_F(ResultListFixture, MenuKeysOpenTheMenuForTheFocusedRow) {
  const struct {
    const char* name;
    WORD key;
    WORD modifier;
    int focusedRow;  // -1: none, as after a read
    int row;
  } cases[] = {
      {"menu key", VK_APPS, 0, -1, 0},
      {"Shift+F10", VK_F10, VK_SHIFT, -1, 0},
      {"menu key on a later row", VK_APPS, 0, 2, 2},
  };
  for (const auto& c : cases) {
    FillResultList(shell.rtuList, kWrappedRows);
    if (c.focusedRow >= 0) ListView_SetItemState(shell.rtuList, c.focusedRow, LVIS_FOCUSED, LVIS_FOCUSED);
    SetClipboardText(shell.window, "vorher");
    shell.script = {ChooseInMenu(DownsTo(kCopyAddressHexItem))};
    shell.MenuKeyOn(shell.rtuList, c.key, c.modifier);
    EXPECT_TRUE(shell.script.empty()) << c.name;
    EXPECT_EQ(ResultListSelectedRow(shell.rtuList), c.row) << c.name;
    // At the row's lower left corner.
    RECT rect{};
    ListView_GetItemRect(shell.rtuList, c.row, &rect, LVIR_BOUNDS);
    POINT corner{rect.left, rect.bottom};
    ClientToScreen(shell.rtuList, &corner);
    EXPECT_EQ(shell.lastMenuAt.x, corner.x) << c.name;
    EXPECT_EQ(shell.lastMenuAt.y, corner.y) << c.name;
    EXPECT_EQ(ClipboardText(shell.window), kWrappedRows[static_cast<size_t>(c.row)].addressHex) << c.name;
  }
  // An empty table has no row to open it for.
  FillResultList(shell.rtuList, {});
  shell.MenuKeyOn(shell.rtuList, VK_APPS);
  EXPECT_TRUE(shell.lastMenu.empty());
  EXPECT_FALSE(shell.abandoned);
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() / ("varnetik-tables-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().wstring());
    return names;
  }

 private:
  fs::path path_;
};

TEST_F(ResultListFixture, SaveItemExportsTheTableTheMenuWasOpenedOn) {
  TempFolder folder;
  const fs::path file = folder.Path() / L"Messwerte_\u00e4\u20ac.csv";
  const std::string shown = Utf8(file.wstring());
  const struct {
    const char* name;
    ControlId table;
    std::vector<ResultRow> rows;
    std::wstring path;
    std::vector<std::string> events;
    std::string bytes;  // of the file afterwards; "-" for none
  } cases[] = {
      {"rtu", ControlId::RtuResultTable, kWrappedRows, file.wstring(), {"log: CSV gespeichert: " + shown}, kRtuCsv},
      {"tcp replaces", ControlId::TcpResultTable, kTcpRows, file.wstring(), {"log: CSV gespeichert: " + shown},
       kTcpCsv},
      {"cancelled", ControlId::RtuResultTable, kWrappedRows, L"", {}, kTcpCsv},
      {"missing folder", ControlId::RtuResultTable, kWrappedRows, (folder.Path() / L"fehlt" / L"x.csv").wstring(),
       {"box: Fehler / Datei konnte nicht erstellt werden."}, kTcpCsv},
  };
  for (const auto& c : cases) {
    FillResultList(List(c.table), c.rows);
    shell.console.events.clear();
    shell.nextPath = c.path;
    shell.saveDialogs = 0;
    shell.script = {ChooseInMenu(DownsTo(kSaveCsvItem))};
    shell.RightClickRow(List(c.table), 0);
    EXPECT_EQ(shell.saveDialogs, 1) << c.name;
    EXPECT_EQ(shell.console.events, c.events) << c.name;
    EXPECT_EQ(ReadFile(file), c.bytes) << c.name;
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>({file.filename().wstring()})) << c.name;
  }
}

TEST_F(ResultListFixture, EmptyTableIsRefusedBeforeTheDialog) {
  FillResultList(shell.tcpList, {});
  ExportResultListCsv(shell.window, shell.tcpList, shell.console, [this](HWND) {
    ++shell.saveDialogs;
    return std::wstring(L"x.csv");
  });
  EXPECT_EQ(shell.saveDialogs, 0);
  EXPECT_EQ(shell.console.events, std::vector<std::string>({"box: CSV / Keine Daten in der Tabelle."}));
}

// The common save dialog itself, answered by typing the path and Enter, or by Escape.
TEST_F(ResultListFixture, SaveItemGoesThroughTheRealSaveDialog) {
  TempFolder folder;
  const fs::path file = folder.Path() / L"Messwerte_\u00e4\u20ac.csv";
  const fs::path bare = folder.Path() / L"werte";
  shell.realSaveDialog = true;
  std::wstring proposed;
  // The name the dialog proposes, in its focused file name field, where the typing goes.
  const auto readProposed = [&proposed] {
    wchar_t text[MAX_PATH] = {};
    GetWindowTextW(GetFocus(), text, MAX_PATH);
    proposed = text;
  };
  const auto typePath = [&](const fs::path& path) {
    return IdleStep{MSGF_DIALOGBOX, [&, path](HWND) {
                      readProposed();
                      PressKey(VK_HOME);
                      PressKey(VK_END, VK_SHIFT);
                      testing::TypeText(path.wstring());
                      PressKey(VK_RETURN);
                    }};
  };
  const IdleStep escape{MSGF_DIALOGBOX, [&](HWND) {
                          readProposed();
                          PressKey(VK_ESCAPE);
                        }};
  const struct {
    const char* name;
    std::vector<IdleStep> steps;
    std::vector<std::string> log;
    std::vector<std::wstring> entries;
  } cases[] = {
      {"typed name with umlaut and euro", {ChooseInMenu(DownsTo(kSaveCsvItem)), typePath(file)},
       {"CSV gespeichert: " + Utf8(file.wstring())}, {file.filename().wstring()}},
      {"no extension appended", {ChooseInMenu(DownsTo(kSaveCsvItem)), typePath(bare)},
       {"CSV gespeichert: " + Utf8(bare.wstring())}, {bare.filename().wstring()}},
      {"cancelled", {ChooseInMenu(DownsTo(kSaveCsvItem)), escape}, {}, {}},
  };
  for (const auto& c : cases) {
    shell.console.log.clear();
    shell.dialogs.clear();
    proposed.clear();
    shell.script.assign(c.steps.begin(), c.steps.end());
    shell.RightClickRow(shell.rtuList, 1);
    EXPECT_TRUE(shell.script.empty()) << c.name;
    EXPECT_FALSE(shell.abandoned) << c.name;
    EXPECT_EQ(shell.dialogs, std::vector<std::string>({"CSV speichern"})) << c.name;
    EXPECT_EQ(proposed, L"register.csv") << c.name;
    EXPECT_EQ(shell.console.log, c.log) << c.name;
    EXPECT_EQ(folder.Entries(), c.entries) << c.name;
    for (const std::wstring& entry : c.entries) {
      EXPECT_EQ(ReadFile(folder.Path() / entry), kRtuCsv) << c.name;
      fs::remove(folder.Path() / entry);
    }
    EXPECT_EQ(shell.console.messages, std::vector<varnetik::testing::ShownMessage>()) << c.name;
  }
}

}  // namespace
}  // namespace varnetik::win32
