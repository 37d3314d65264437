#include "win32/ResultList.h"

#include <commctrl.h>
#include <windowsx.h>

#include "win32/UnicodeClipboard.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {


constexpr UINT_PTR kSubclassId = 1;

int Scaled(int logicalPixels, UINT dpi) { return MulDiv(logicalPixels, static_cast<int>(dpi), 96); }

void SetColumnWidths(HWND list) {
  UINT dpi = GetDpiForWindow(list);
  if (dpi == 0) dpi = 96;
  for (int column = 0; column < kResultColumnCount; ++column) {
    ListView_SetColumnWidth(list, column, Scaled(kResultColumnWidths[column], dpi));
  }
}

bool IsOnRow(HWND list, POINT clientPoint) {
  LVHITTESTINFO hit{};
  hit.pt = clientPoint;
  return ListView_SubItemHitTest(list, &hit) >= 0 && (hit.flags & LVHT_ONITEM) != 0;
}

// A right-click on empty space keeps the selected row, so that its context menu still opens for it: the
// list view would drop the selection. The click is kept from the list view and the menu is asked for on
// the button's release, as the list view asks for it on a row.
LRESULT CALLBACK ResultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto& rightDownOffRows = *reinterpret_cast<bool*>(data);
  switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
      const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      rightDownOffRows = !IsOnRow(list, point);
      if (rightDownOffRows) {
        SetFocus(list);
        return 0;
      }
      // A quick second right-click is a click of its own: the list view would neither select its row nor
      // ask for the menu on a double-click.
      return DefSubclassProc(list, WM_RBUTTONDOWN, wParam, lParam);
    }
    case WM_RBUTTONUP:
      if (rightDownOffRows) {
        rightDownOffRows = false;
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(list, &point);
        SendMessageW(GetParent(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(point.x, point.y));
        return 0;
      }
      break;
    case WM_KEYDOWN:
      // Ctrl+C copies the selected row as "Komplette Zeile kopieren" does; the list view has no copy.
      if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
        if (const int row = ResultListSelectedRow(list); row >= 0) {
          SetClipboardText(list, RowClipboardText(ResultListCells(list, row)));
        }
        return 0;
      }
      break;
    case WM_DPICHANGED_AFTERPARENT:
      SetColumnWidths(list);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ResultListProc, kSubclassId);
      delete &rightDownOffRows;
      break;
    default:
      break;
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

}  // namespace

HWND CreateResultList(HWND parent, ControlId id) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  const HWND list = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
      0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (list == nullptr) return nullptr;
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int column = 0; column < kResultColumnCount; ++column) {
    std::wstring title = Wide(kResultColumnTitles[column]);
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.pszText = title.data();
    header.cx = kResultColumnWidths[column];
    header.iSubItem = column;
    ListView_InsertColumn(list, column, &header);
  }
  SetColumnWidths(list);
  SetWindowSubclass(list, ResultListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(new bool(false)));
  return list;
}

void FillResultList(HWND list, const std::vector<ResultRow>& rows) {
  // One redraw for the whole table rather than one per row of a 125-register read.
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t index = 0; index < rows.size(); ++index) {
    const ResultRow& row = rows[index];
    const std::string* cells[] = {&row.addressHex, &row.addressDec, &row.valueHex, &row.valueDec};
    for (int column = 0; column < kResultTextColumnCount; ++column) {
      std::wstring text = Wide(*cells[column]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(index);
      item.iSubItem = column;
      item.pszText = text.data();
      if (column == 0) {
        ListView_InsertItem(list, &item);
      } else {
        ListView_SetItem(list, &item);
      }
    }
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

int ResultListRowCount(HWND list) { return ListView_GetItemCount(list); }

std::string ResultListCell(HWND list, int row, int column) {
  if (row < 0 || row >= ResultListRowCount(list) || column < 0 || column >= kResultColumnCount) return {};
  // The cells are short; a buffer that is filled to the brim is grown until the text fits.
  std::wstring text(64, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto length = static_cast<size_t>(
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < text.size()) {
      text.resize(length);
      return Utf8(text);
    }
    text.resize(text.size() * 2);
  }
}

ResultCells ResultListCells(HWND list, int row) {
  ResultCells cells;
  for (int column = 0; column < kResultTextColumnCount; ++column) cells[column] = ResultListCell(list, row, column);
  return cells;
}

int ResultListSelectedRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

void SelectResultListRow(HWND list, int row) {
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, row, FALSE);
}

}  // namespace varnetik::win32
