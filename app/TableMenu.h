// The context menu of a result table: what it shows, what it remembers between the right-click and the
// choice, and what its copy items put on the clipboard.
#pragma once

#include <QString>
#include <cstdint>

#include "operator/TableTexts.h"

class QMenu;
class QWidget;

namespace varnetik {

class ResultTable;

// Set by every right-click on a result table and kept after the menu closes.
struct TableMenuState {
  int64_t menuRow = -1;              // -1: none
  ResultTable* menuTable = nullptr;  // table the menu was last opened on
  QString captions[4];               // cells 0..3 of menuRow when the menu opened
};

// The popup with its entries (six items, three separators) for the four cell texts; each action carries
// its item id in data().
QMenu* BuildTableMenu(const QString (&cells)[4], QWidget* owner);

// Clipboard texts, read from the table when the item is chosen.
QString CellCopyText(const TableMenuState& state, int column);
QString RowCopyText(const TableMenuState& state);

// The handlers of items 4100..4103 and 4104; nothing happens while no row is remembered.
void CopyCell(const TableMenuState& state, int column);
void CopyRow(const TableMenuState& state);

}  // namespace varnetik
