#include "operator/TableTexts.h"

namespace varnetik {

std::vector<TableMenuEntry> TableMenuEntries(const ResultCells& cells) {
  return {
      {kCopyAddressHexItem, "Adresse (hex) kopieren: " + cells[0]},
      {kCopyAddressDecItem, "Adresse (dez) kopieren: " + cells[1]},
      {0, {}},
      {kCopyValueHexItem, "Wert (hex) kopieren: " + cells[2]},
      {kCopyValueDecItem, "Wert (dez) kopieren: " + cells[3]},
      {0, {}},
      {kCopyRowItem, "Komplette Zeile kopieren"},
      {0, {}},
      {kSaveCsvItem, "Tabelle als CSV speichern..."},
  };
}

int CopiedColumn(int item) {
  return item >= kCopyAddressHexItem && item <= kCopyValueDecItem ? item - kCopyAddressHexItem : -1;
}

std::string RowClipboardText(const ResultCells& cells) {
  return cells[0] + '\t' + cells[1] + '\t' + cells[2] + '\t' + cells[3];
}

}  // namespace varnetik
