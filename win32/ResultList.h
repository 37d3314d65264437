// A result table of the native window: a report-style list view with the five columns (address hex/dec,
// value hex/dec, an empty fifth), text only, one row selected at a time across the full width, the
// selection kept visible without the focus, a sunken border, double-buffered, not sortable, not editable.
// The window places it and gives it the font; the column widths follow the window's DPI.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "operator/ControlId.h"
#include "operator/OperatorConsole.h"
#include "operator/TableTexts.h"

namespace varnetik::win32 {

// The report-style list view of a result table with its columns; child `id` of parent.
HWND CreateResultList(HWND parent, ControlId id);
// Replaces all rows, drawn once when done.
void FillResultList(HWND list, const std::vector<ResultRow>& rows);

int ResultListRowCount(HWND list);
// A cell's text as shown (UTF-8); empty for a row or column that does not exist.
std::string ResultListCell(HWND list, int row, int column);
// Cells 0 to 3 of the row.
ResultCells ResultListCells(HWND list, int row);
// The selected row, -1 when none.
int ResultListSelectedRow(HWND list);
// Selects the row and gives it the keyboard focus mark (it stays the only selected row).
void SelectResultListRow(HWND list, int row);

}  // namespace varnetik::win32
