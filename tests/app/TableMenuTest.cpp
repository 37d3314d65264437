// The result tables' columns, the context menu of a right-click and what its items copy or save.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/OperationTabs.h"
#include "app/ResultTable.h"
#include "tests/support/WindowHarness.h"
#include "tests/support/RealInput.h"

namespace varnetik {
namespace {

using testing::Choice;
using testing::ChoiceName;
using testing::WindowHarness;

constexpr Choice kChoices[] = {Choice::Mouse, Choice::Keyboard};

// A read of four registers from 65534 wraps to 0 and 1.
const std::vector<ResultRow> kWrappedRows = {
    {"0xFFFE", "65534", "$00FF", "255"},
    {"0xFFFF", "65535", "$0000", "0"},
    {"0x0000", "0", "$FFFF", "65535"},
    {"0x0001", "1", "$000A", "10"},
};
const std::vector<ResultRow> kTcpRows = {{"0x000A", "10", "$1234", "4660"}, {"0x000B", "11", "$0000", "0"}};

class TableMenuFixture : public ::testing::Test {
 protected:
  explicit TableMenuFixture(testing::Dialogs dialogs = testing::Dialogs::Recorded) : shell(dialogs) {}

  void SetUp() override {
    shell.ShowAndSettle();
    shell.window->ReplaceTableRows(ControlId::RtuResultTable, kWrappedRows);
    shell.window->ReplaceTableRows(ControlId::TcpResultTable, kTcpRows);
  }

  // A right-click on the row (below the last row for -1); returns the popup menu it opened.
  QMenu* RightClick(ControlId id, int row) {
    ResultTable* table = shell.window->Table(id);
    QTabBar* tabs = shell.window->Tabs()->tabBar();
    testing::LeftClick(tabs, tabs->tabRect(id == ControlId::RtuResultTable ? 0 : 2).center());
    QApplication::processEvents();
    const QPoint where = row >= 0 ? table->visualItemRect(table->topLevelItem(row)).center()
                                  : QPoint(5, table->viewport()->height() - 5);
    testing::RightClick(table->viewport(), where);
    return testing::OpenPopupMenu();
  }

  // Chooses the item and lets the loop take the choice.
  static void Choose(QMenu* menu, int item, Choice choice) {
    QAction* action = testing::MenuAction(*menu, item);
    ASSERT_NE(action, nullptr) << item;
    testing::ChooseMenuItem(*menu, *action, choice);
    QApplication::processEvents();
  }

  WindowHarness shell;
};

TEST_F(TableMenuFixture, TablesHaveFiveColumnsTheLastUntitled) {
  for (ControlId id : {ControlId::RtuResultTable, ControlId::TcpResultTable}) {
    ResultTable* table = shell.window->Table(id);
    const QStringList titles = {"Adresse hex.", "Adresse dez.", "Wert hex.", "Wert dez.", ""};
    ASSERT_EQ(table->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
      EXPECT_EQ(table->headerItem()->text(column), titles[column]);
      EXPECT_EQ(table->columnWidth(column), kResultColumnWidths[column]);
    }
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(table->isSortingEnabled());
    EXPECT_EQ(table->palette().color(QPalette::Inactive, QPalette::Highlight),
              table->palette().color(QPalette::Active, QPalette::Highlight));
  }
  EXPECT_EQ(shell.window->Table(ControlId::RtuResultTable)->CellText(2, 0), "0x0000");
  EXPECT_EQ(shell.window->Table(ControlId::RtuResultTable)->CellText(2, 4), "");
}

TEST_F(TableMenuFixture, MenuShowsTheRowsCellsInItsCaptions) {
  QMenu* menu = RightClick(ControlId::RtuResultTable, 1);
  ASSERT_NE(menu, nullptr);
  QStringList captions;
  for (QAction* action : menu->actions()) {
    captions << (action->isSeparator() ? QStringLiteral("---")
                                       : QString::number(action->data().toInt()) + " " + action->text());
  }
  EXPECT_EQ(captions, QStringList({"4100 Adresse (hex) kopieren: 0xFFFF", "4101 Adresse (dez) kopieren: 65535",
                                   "---", "4102 Wert (hex) kopieren: $0000", "4103 Wert (dez) kopieren: 0", "---",
                                   "4104 Komplette Zeile kopieren", "---", "4105 Tabelle als CSV speichern..."}));
  EXPECT_EQ(menu->parentWidget(), shell.window.get());
  EXPECT_EQ(shell.window->MenuState().menuRow, 1);
  EXPECT_EQ(shell.window->MenuState().menuTable, shell.window->Table(ControlId::RtuResultTable));
}

TEST_F(TableMenuFixture, ItemsCopyTheCellsOfTheTableTheMenuWasOpenedOn) {
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
    for (Choice choice : kChoices) {
      QGuiApplication::clipboard()->setText("vorher");
      QMenu* menu = RightClick(c.table, c.row);
      ASSERT_NE(menu, nullptr);
      Choose(menu, c.item, choice);
      EXPECT_EQ(testing::OpenPopupMenu(), nullptr);
      EXPECT_EQ(QGuiApplication::clipboard()->text(), c.clipboard) << c.item << " by " << ChoiceName(choice);
    }
  }
}

// The menu key and Shift+F10 open the menu for the row with the keyboard focus, selecting it, at that row,
// with the first item active; Enter then copies as the mouse would.
TEST_F(TableMenuFixture, MenuKeysOpenTheMenuAtTheCurrentRow) {
  const struct {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int downs;  // Down presses before: none leaves no row selected, as after a read
  } cases[] = {
      {"menu key", Qt::Key_Menu, Qt::NoModifier, 0},
      {"Shift+F10", Qt::Key_F10, Qt::ShiftModifier, 0},
      {"menu key on a later row", Qt::Key_Menu, Qt::NoModifier, 3},
  };
  ResultTable* table = shell.window->Table(ControlId::RtuResultTable);
  QWindow* keys = shell.window->windowHandle();
  for (const auto& c : cases) {
    shell.window->ReplaceTableRows(ControlId::RtuResultTable, kWrappedRows);
    shell.window->activateWindow();
    table->setFocus();
    ASSERT_EQ(table->SelectedRow(), -1);
    for (int i = 0; i < c.downs; ++i) QTest::keyClick(keys, Qt::Key_Down);
    const int row = table->currentItem() != nullptr ? table->indexOfTopLevelItem(table->currentItem()) : 0;
    EXPECT_EQ(row > 0, c.downs > 0) << c.name;
    QTest::keyClick(keys, c.key, c.modifiers);
    QMenu* menu = testing::OpenPopupMenu();
    ASSERT_NE(menu, nullptr) << c.name;
    EXPECT_EQ(table->SelectedRow(), row) << c.name;
    EXPECT_EQ(shell.window->MenuState().menuRow, row) << c.name;
    // At the row's height; sideways the menu is kept on the screen.
    EXPECT_EQ(menu->y(), table->MenuPointOfRow(row).y()) << c.name;
    EXPECT_EQ(menu->activeAction(), menu->actions().first()) << c.name;
    QGuiApplication::clipboard()->setText("vorher");
    QTest::keyClick(menu->windowHandle(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), kWrappedRows[row].addressHex) << c.name;
  }
  // An empty table has no row to open it for.
  shell.window->ReplaceTableRows(ControlId::RtuResultTable, {});
  table->setFocus();
  QTest::keyClick(keys, Qt::Key_Menu);
  EXPECT_EQ(testing::OpenPopupMenu(), nullptr);
}

TEST_F(TableMenuFixture, CtrlCCopiesTheSelectedRowAsTheMenuDoes) {
  ResultTable* table = shell.window->Table(ControlId::TcpResultTable);
  QTabBar* tabs = shell.window->Tabs()->tabBar();
  testing::LeftClick(tabs, tabs->tabRect(2).center());
  testing::LeftClick(table->viewport(), table->visualItemRect(table->topLevelItem(1)).center());
  QGuiApplication::clipboard()->setText("vorher");
  QTest::keyClick(shell.window->windowHandle(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "0x000B\t11\t$0000\t0");
}

TEST_F(TableMenuFixture, RightClickWithoutSelectionOpensNoMenu) {
  shell.window->Table(ControlId::RtuResultTable)->clearSelection();
  EXPECT_EQ(RightClick(ControlId::RtuResultTable, -1), nullptr);
  EXPECT_EQ(shell.window->MenuState().menuRow, -1);
}

TEST_F(TableMenuFixture, RightClickOnEmptySpaceKeepsTheEarlierRow) {
  QMenu* first = RightClick(ControlId::RtuResultTable, 3);
  ASSERT_NE(first, nullptr);
  QTest::keyClick(first->windowHandle(), Qt::Key_Escape);
  QApplication::processEvents();
  QMenu* menu = RightClick(ControlId::RtuResultTable, -1);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(shell.window->MenuState().menuRow, 3);
  EXPECT_EQ(menu->actions()[0]->text(), "Adresse (hex) kopieren: 0x0001");
}

TEST_F(TableMenuFixture, SaveItemExportsTheTableTheMenuWasOpenedOn) {
  QTemporaryDir dir;
  const struct {
    ControlId table;
    const char* bytes;
  } cases[] = {
      {ControlId::RtuResultTable,
       "Adresse;Adresse dez.;Hex;Dezimal\r\n0xFFFE;65534;$00FF;255\r\n0xFFFF;65535;$0000;0\r\n"
       "0x0000;0;$FFFF;65535\r\n0x0001;1;$000A;10\r\n"},
      {ControlId::TcpResultTable, "Adresse;Adresse dez.;Hex;Dezimal\r\n0x000A;10;$1234;4660\r\n0x000B;11;$0000;0\r\n"},
  };
  for (const auto& c : cases) {
    shell.dialogs.nextSavePath = dir.filePath("register.csv");
    QMenu* menu = RightClick(c.table, 0);
    ASSERT_NE(menu, nullptr);
    Choose(menu, 4105, Choice::Keyboard);
    QFile file(shell.dialogs.nextSavePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), c.bytes);
    EXPECT_EQ(shell.LogLines().last(), "CSV gespeichert: " + shell.dialogs.nextSavePath);
  }
}

// The real save dialog and the real boxes, answered from the keyboard while they run.
class TableMenuDesktopFixture : public TableMenuFixture {
 protected:
  TableMenuDesktopFixture() : TableMenuFixture(testing::Dialogs::Desktop) {}
};

TEST_F(TableMenuDesktopFixture, SaveItemGoesThroughTheRealDialogAndBoxes) {
  using testing::ModalAnswers;
  QTemporaryDir dir;
  const QString rtuFile = dir.filePath("rtu.csv");
  const QString tcpFile = dir.filePath("tcp.csv");
  const QString unreachable = dir.filePath("fehlt/register.csv");
  const char* rtuBytes =
      "Adresse;Adresse dez.;Hex;Dezimal\r\n0xFFFE;65534;$00FF;255\r\n0xFFFF;65535;$0000;0\r\n"
      "0x0000;0;$FFFF;65535\r\n0x0001;1;$000A;10\r\n";
  const struct {
    const char* name;
    ControlId table;
    Choice choice;
    std::vector<ModalAnswers::Answer> answers;
    QStringList seen;
    QString file;       // written file, empty when none
    const char* bytes;  // its content
  } cases[] = {
      {"typed path, keyboard", ControlId::RtuResultTable, Choice::Keyboard, {testing::TypePathAndEnter(rtuFile)},
       {"CSV speichern"}, rtuFile, rtuBytes},
      {"typed path, mouse", ControlId::TcpResultTable, Choice::Mouse, {testing::TypePathAndEnter(tcpFile)},
       {"CSV speichern"}, tcpFile,
       "Adresse;Adresse dez.;Hex;Dezimal\r\n0x000A;10;$1234;4660\r\n0x000B;11;$0000;0\r\n"},
      {"cancelled", ControlId::RtuResultTable, Choice::Keyboard, {testing::PressEscape}, {"CSV speichern"}, {}, ""},
      {"failure box closed with Enter", ControlId::RtuResultTable, Choice::Mouse,
       {testing::TypePathAndEnter(unreachable), testing::PressEnter},
       {"CSV speichern", "Fehler|Datei konnte nicht erstellt werden."}, {}, ""},
  };
  for (const auto& c : cases) {
    const QStringList logBefore = shell.LogLines();
    QMenu* menu = RightClick(c.table, 1);
    ASSERT_NE(menu, nullptr) << c.name;
    ModalAnswers answers(c.answers);
    Choose(menu, kSaveCsvItem, c.choice);
    EXPECT_EQ(answers.Seen(), c.seen) << c.name;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.name;
    if (c.file.isEmpty()) {
      EXPECT_EQ(shell.LogLines(), logBefore) << c.name;
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList()) << c.name;
      continue;
    }
    EXPECT_EQ(shell.LogLines().last(), "CSV gespeichert: " + c.file) << c.name;
    QFile file(c.file);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
    EXPECT_EQ(file.readAll().toStdString(), c.bytes) << c.name;
    QFile::remove(c.file);
  }
}

}  // namespace
}  // namespace varnetik
