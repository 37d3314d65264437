#include "win32/TableMenu.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "operator/CsvText.h"
#include "operator/TableTexts.h"
#include "win32/ResultList.h"
#include "win32/SafeFileWrite.h"
#include "win32/UnicodeClipboard.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {

// From the keyboard the menu is for the row with the focus mark (the first when none has it), which it
// selects, and opens at that row's lower left corner.
int SelectKeyboardRow(HWND list) {
  if (ResultListRowCount(list) == 0) return -1;
  int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (row < 0) row = 0;
  SelectResultListRow(list, row);
  return row;
}

POINT MenuPointOfRow(HWND list, int row) {
  RECT rect{};
  ListView_GetItemRect(list, row, &rect, LVIR_BOUNDS);
  POINT point{rect.left, rect.bottom};
  ClientToScreen(list, &point);
  return point;
}

HMENU BuildMenu(const ResultCells& cells) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (const TableMenuEntry& entry : TableMenuEntries(cells)) {
    if (entry.IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(entry.item), Wide(entry.caption).c_str());
    }
  }
  return menu;
}

void CarryOut(int item, HWND owner, HWND list, int row, OperatorConsole& console, const CsvPathAsker& askPath) {
  // The cells are read now, when the item is chosen, not from the captions.
  if (const int column = CopiedColumn(item); column >= 0) {
    SetClipboardText(owner, ResultListCell(list, row, column));
  } else if (item == kCopyRowItem) {
    SetClipboardText(owner, RowClipboardText(ResultListCells(list, row)));
  } else if (item == kSaveCsvItem) {
    ExportResultListCsv(owner, list, console, askPath);
  }
}

}  // namespace

std::wstring AskCsvPathWithSaveDialog(HWND owner) {
  const std::wstring title = Wide(kCsvDialogTitle);
  // Display text and pattern, each ended by a zero, and one more zero after the last pair.
  std::wstring filter = Wide(kCsvFilterText) + L'\0' + Wide(kCsvFilterPattern) + L'\0';
  // Room for long paths; what the operator typed is taken as it is.
  std::wstring path(32768, L'\0');
  const std::wstring proposed = Wide(kCsvProposedName);
  path.replace(0, proposed.size(), proposed);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return {};
  path.resize(wcslen(path.c_str()));
  return path;
}

void RunTableMenu(HWND owner, HWND list, std::optional<POINT> screenPoint, OperatorConsole& console) {
  RunTableMenu(owner, list, screenPoint, console, AskCsvPathWithSaveDialog);
}

void RunTableMenu(HWND owner, HWND list, std::optional<POINT> screenPoint, OperatorConsole& console,
                  const CsvPathAsker& askPath) {
  const int row = screenPoint ? ResultListSelectedRow(list) : SelectKeyboardRow(list);
  if (row < 0) return;
  HMENU menu = BuildMenu(ResultListCells(list, row));
  if (menu == nullptr) return;
  // By mouse one pixel up and to the left of the pointer, so that the release of the button that opened
  // it does not already land on the first item.
  const POINT at = screenPoint ? POINT{screenPoint->x - 1, screenPoint->y - 1} : MenuPointOfRow(list, row);
  // TPM_RETURNCMD: the choice comes back here once the menu has closed, instead of as a WM_COMMAND
  // while its own loop may still be on the stack; a dialog of the chosen item then runs on its own.
  const int item = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                   at.x, at.y, 0, owner, nullptr));
  DestroyMenu(menu);
  if (item != 0) CarryOut(item, owner, list, row, console, askPath);
}

void ExportResultListCsv(HWND owner, HWND list, OperatorConsole& console, const CsvPathAsker& askPath) {
  std::vector<CsvRow> rows;
  const int count = ResultListRowCount(list);
  rows.reserve(static_cast<size_t>(count));
  for (int row = 0; row < count; ++row) rows.push_back(ResultListCells(list, row));
  if (!CsvHasRows(rows, console)) return;
  const std::wstring path = askPath(owner);
  if (path.empty()) return;
  ReportCsvWrite(WriteFileReplacing(path, CsvBytes(rows)), Utf8(path), console);
}

}  // namespace varnetik::win32
