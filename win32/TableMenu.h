// The context menu of a result table and what its items do: copy a cell or the row to the clipboard as
// Unicode text, or save the whole table as a CSV file through the common save dialog.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "operator/OperatorConsole.h"

namespace varnetik::win32 {

// Asks the operator for the path to save the CSV file under; empty when cancelled. Tests put a recorder
// in its place so that no test waits on a modal dialog.
using CsvPathAsker = std::function<std::wstring(HWND owner)>;

// The common save dialog: title "CSV speichern", proposing "register.csv", one filter "CSV (*.csv)". The
// path is taken as typed or chosen: no extension is appended and an existing file is not asked about.
std::wstring AskCsvPathWithSaveDialog(HWND owner);

// Opens the table's context menu (at the screen point, or for the keyboard at the selected row) and
// carries out the chosen item (copy cell / row to the clipboard as Unicode text, save as CSV through the
// common save dialog with the safe-write rules), speaking to the operator through console. The parent
// calls it for a WM_CONTEXTMENU whose wParam is the list: the screen point from lParam, none when lParam
// is -1 (the menu key or Shift+F10). Nothing opens while the table has no row to open it for. The menu
// has closed before the chosen item is carried out.
void RunTableMenu(HWND owner, HWND list, std::optional<POINT> screenPoint, OperatorConsole& console);
// The same with the save dialog given.
void RunTableMenu(HWND owner, HWND list, std::optional<POINT> screenPoint, OperatorConsole& console,
                  const CsvPathAsker& askPath);

// "Tabelle als CSV speichern...": refuses an empty table, asks for the path, writes the file by the
// safe-write rules and reports the outcome.
void ExportResultListCsv(HWND owner, HWND list, OperatorConsole& console, const CsvPathAsker& askPath);

}  // namespace varnetik::win32
