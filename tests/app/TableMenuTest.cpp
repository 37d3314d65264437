// The result tables' columns, the context menu of a right-click and what its items copy or save.
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/OperationTabs.h"
#include "app/ResultTable.h"
#include "tests/app/ShellHarness.h"

namespace varnetik {
namespace {

using testing::ShellHarness;

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
  void SetUp() override {
    shell.ShowAndSettle();
    shell.window->ReplaceTableRows(ControlId::RtuResultTable, kWrappedRows);
    shell.window->ReplaceTableRows(ControlId::TcpResultTable, kTcpRows);
  }

  // A right-click on the row, as the window receives it: the press selects, then the menu is asked for.
  QMenu* RightClick(ControlId id, int row) {
    ResultTable* table = shell.window->Table(id);
    shell.window->Tabs()->setCurrentIndex(id == ControlId::RtuResultTable ? 0 : 2);
    QApplication::processEvents();
    const QPoint where = row >= 0 ? table->visualItemRect(table->topLevelItem(row)).center()
                                  : QPoint(5, table->viewport()->height() - 5);
    QTest::mousePress(table->viewport(), Qt::RightButton, {}, where);
    QTest::mouseRelease(table->viewport(), Qt::RightButton, {}, where);
    emit table->customContextMenuRequested(where);
    return shell.window->OpenTableMenuPopup();
  }

  static void Choose(QMenu* menu, int item) {
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator() && action->data().toInt() == item) {
        action->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no item " << item;
  }

  ShellHarness shell;
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
    QGuiApplication::clipboard()->setText("vorher");
    QMenu* menu = RightClick(c.table, c.row);
    ASSERT_NE(menu, nullptr);
    Choose(menu, c.item);
    menu->hide();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), c.clipboard) << c.item;
  }
}

TEST_F(TableMenuFixture, RightClickWithoutSelectionOpensNoMenu) {
  shell.window->Table(ControlId::RtuResultTable)->clearSelection();
  EXPECT_EQ(RightClick(ControlId::RtuResultTable, -1), nullptr);
  EXPECT_EQ(shell.window->MenuState().menuRow, -1);
}

TEST_F(TableMenuFixture, RightClickOnEmptySpaceKeepsTheEarlierRow) {
  QMenu* first = RightClick(ControlId::RtuResultTable, 3);
  ASSERT_NE(first, nullptr);
  first->hide();
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
    Choose(menu, 4105);
    menu->hide();
    QFile file(shell.dialogs.nextSavePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), c.bytes);
    EXPECT_EQ(shell.Log().last(), "CSV gespeichert: " + shell.dialogs.nextSavePath);
  }
}

}  // namespace
}  // namespace varnetik
