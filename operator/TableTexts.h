// The result tables as the operator sees them, whatever draws them: the columns, the entries of their
// context menu and the text a row is copied as.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace varnetik {

// Four text columns (address hex/dec, value hex/dec) and an empty fifth one that only fills the width.
inline constexpr int kResultColumnCount = 5;
inline constexpr int kResultColumnWidths[kResultColumnCount] = {120, 120, 120, 120, 187};
inline constexpr const char* kResultColumnTitles[kResultColumnCount] = {"Adresse hex.", "Adresse dez.",
                                                                         "Wert hex.", "Wert dez.", ""};

// The cells 0 to 3 of one row as shown: what the menu names, copies and saves.
inline constexpr int kResultTextColumnCount = 4;
using ResultCells = std::array<std::string, kResultTextColumnCount>;

// Item ids of the context menu.
enum TableMenuItem : int {
  kCopyAddressHexItem = 4100,
  kCopyAddressDecItem = 4101,
  kCopyValueHexItem = 4102,
  kCopyValueDecItem = 4103,
  kCopyRowItem = 4104,
  kSaveCsvItem = 4105,
};

// One line of the context menu, top to bottom; a separator has item 0 and no caption.
struct TableMenuEntry {
  int item;
  std::string caption;
  bool IsSeparator() const { return item == 0; }
  bool operator==(const TableMenuEntry&) const = default;
};

// The six items and three separators of the menu opened on a row with these cells.
std::vector<TableMenuEntry> TableMenuEntries(const ResultCells& cells);

// The cell an item 4100..4103 copies; -1 for any other item.
int CopiedColumn(int item);

// "Komplette Zeile kopieren": cells 0 to 3 joined by tabs, nothing after the last.
std::string RowClipboardText(const ResultCells& cells);

}  // namespace varnetik
