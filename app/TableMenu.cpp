#include "app/TableMenu.h"

#include <QMenu>

#include "app/Clipboard.h"
#include "app/ResultTable.h"

namespace varnetik {

namespace {

void AddItem(QMenu* menu, TableMenuItem id, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setData(static_cast<int>(id));
}

bool HasRow(const TableMenuState& state) { return state.menuRow >= 0 && state.menuTable != nullptr; }

}  // namespace

QMenu* BuildTableMenu(const QString (&cells)[4], QWidget* owner) {
  auto* menu = new QMenu(owner);
  menu->setObjectName(QStringLiteral("TableMenu"));
  AddItem(menu, kCopyAddressHexItem, QStringLiteral("Adresse (hex) kopieren: ") + cells[0]);
  AddItem(menu, kCopyAddressDecItem, QStringLiteral("Adresse (dez) kopieren: ") + cells[1]);
  menu->addSeparator();
  AddItem(menu, kCopyValueHexItem, QStringLiteral("Wert (hex) kopieren: ") + cells[2]);
  AddItem(menu, kCopyValueDecItem, QStringLiteral("Wert (dez) kopieren: ") + cells[3]);
  menu->addSeparator();
  AddItem(menu, kCopyRowItem, QStringLiteral("Komplette Zeile kopieren"));
  menu->addSeparator();
  AddItem(menu, kSaveCsvItem, QStringLiteral("Tabelle als CSV speichern..."));
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
