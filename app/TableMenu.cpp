#include "app/TableMenu.h"

#include <QMenu>

#include "app/Clipboard.h"
#include "app/ResultTable.h"

namespace varnetik {

namespace {

bool HasRow(const TableMenuState& state) { return state.menuRow >= 0 && state.menuTable != nullptr; }

}  // namespace

QMenu* BuildTableMenu(const QString (&cells)[4], QWidget* owner) {
  auto* menu = new QMenu(owner);
  menu->setObjectName(QStringLiteral("TableMenu"));
  ResultCells texts;
  for (int column = 0; column < kResultTextColumnCount; ++column) texts[column] = cells[column].toStdString();
  for (const TableMenuEntry& entry : TableMenuEntries(texts)) {
    if (entry.IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    menu->addAction(QString::fromStdString(entry.caption))->setData(entry.item);
  }
  return menu;
}

QString CellCopyText(const TableMenuState& state, int column) {
  if (!HasRow(state)) return QString();
  return state.menuTable->CellText(static_cast<int>(state.menuRow), column);
}

QString RowCopyText(const TableMenuState& state) {
  if (!HasRow(state)) return QString();
  return state.menuTable->RowText(static_cast<int>(state.menuRow));
}

void CopyCell(const TableMenuState& state, int column) {
  if (!HasRow(state)) return;
  SetClipboardText(CellCopyText(state, column));
}

void CopyRow(const TableMenuState& state) {
  if (!HasRow(state)) return;
  SetClipboardText(RowCopyText(state));
}

}  // namespace varnetik
