#include "win32/LogList.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

#include "win32/UnicodeClipboard.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// Posted to the list itself when lines wait to be shown.
UINT ShowNewLinesMessage() {
  static const UINT message = RegisterWindowMessageW(L"VarnetikLogShowNewLines");
  return message;
}

int ItemIndex(int64_t line) { return static_cast<int>(std::min<int64_t>(line, INT_MAX)); }

}  // namespace

LogList::LogList(HWND parent, int controlId) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER |
                              LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                          0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                          GetModuleHandleW(nullptr), nullptr);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 2 * kTextMargin;
  SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  measuring_ = CreateCompatibleDC(nullptr);
  SelectObject(measuring_, reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0)));
  SetWindowSubclass(list_, &LogList::ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  UpdateColumnWidth();
}

LogList::~LogList() {
  if (IsWindow(list_)) RemoveWindowSubclass(list_, &LogList::ListProc, kSubclassId);
  if (measuring_ != nullptr) DeleteDC(measuring_);
}

HWND LogList::Handle() const { return list_; }

void LogList::Append(const std::string& utf8Line) {
  if (!newLinesPending_) {
    // Someone reading an older line with the focus in the log keeps that line and the view until they
    // move back to the end; otherwise a screen reader would be pulled to the newest line with every new
    // one. Input is served only after the posted message, so the decision holds for the whole batch.
    const int64_t selected = SelectedLine();
    followNewest_ = !(GetFocus() == list_ && selected >= 0 && selected < LineCount() - 1);
    newLinesPending_ = PostMessageW(list_, ShowNewLinesMessage(), 0, 0) != FALSE;
  }
  lines_.Append(utf8Line);
  widest_ = std::max(widest_, Measure(Wide(utf8Line)));
  if (!newLinesPending_) ShowNewLines();  // no message could be posted: show it now
}

void LogList::ShowNewLines() {
  newLinesPending_ = false;
  UpdateColumnWidth();
  // Only new lines in view are painted; the others keep their state and the view its place.
  ListView_SetItemCountEx(list_, ItemIndex(LineCount()), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (!followNewest_ || LineCount() == 0) return;
  const int newest = ItemIndex(LineCount() - 1);
  // Selecting a line while another is selected makes a single-selection list look at every line to
  // deselect the others (under Wine a fifth of a second at 300 000 lines); the one selected line is
  // known, and deselected first.
  const int64_t previous = SelectedLine();
  if (previous >= 0 && previous != newest) ListView_SetItemState(list_, ItemIndex(previous), 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(list_, newest, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list_, newest, FALSE);
}

void LogList::Clear() {
  newLinesPending_ = false;  // the posted message then finds nothing to show
  ListView_SetItemCountEx(list_, 0, 0);
  lines_.Clear();
  widest_ = 0;
  UpdateColumnWidth();
  InvalidateRect(list_, nullptr, TRUE);
}

int64_t LogList::LineCount() const { return lines_.Count(); }

std::string LogList::Line(int64_t index) const { return std::string(lines_.Line(index)); }

int64_t LogList::SelectedLine() const {
  if (newLinesPending_ && followNewest_) return LineCount() - 1;
  // The focused line is found at once; a search for the selected one goes through every line (so it does
  // under Wine), which at a million lines costs a second. In a single-selection list the selected line is
  // the focused one, unless the keys moved the focus alone.
  const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED | LVNI_SELECTED);
  if (focused >= 0) return focused;
  return ListView_GetNextItem(list_, -1, LVNI_SELECTED);
}

bool LogList::HandleNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != list_) return false;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      // What screen readers and the list itself read; the list's buffer (260 characters) cuts longer dumps,
      // which the drawing below shows whole.
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
      if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
        const std::wstring text = Wide(lines_.Line(item.iItem));
        const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
        std::wmemcpy(item.pszText, text.data(), length);
        item.pszText[length] = L'\0';
      }
      result = 0;
      return true;
    }
    case LVN_ODFINDITEMW:
      // Typing in the log searches nothing: it must not jump to the first line.
      result = -1;
      return true;
    case NM_CUSTOMDRAW: {
      const NMLVCUSTOMDRAW& draw = reinterpret_cast<const NMLVCUSTOMDRAW&>(header);
      if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
      } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        DrawLine(draw.nmcd.hdc, static_cast<int64_t>(draw.nmcd.dwItemSpec));
        result = CDRF_SKIPDEFAULT;
      } else {
        result = CDRF_DODEFAULT;
      }
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK LogList::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR self) {
  LogList& log = *reinterpret_cast<LogList*>(self);
  if (message == ShowNewLinesMessage()) {
    if (log.newLinesPending_) log.ShowNewLines();
    return 0;
  }
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        log.CopySelectedLine();
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == 0x03) return 0;  // the Ctrl+C character; the copy happened on the key itself
      break;
    case WM_SETFONT: {
      const LRESULT done = DefSubclassProc(window, message, wParam, lParam);
      SelectObject(log.measuring_, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
      log.MeasureAllLines();
      log.UpdateColumnWidth();
      return done;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, &LogList::ListProc, kSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

int LogList::Measure(const std::wstring& text) const {
  SIZE size{};
  if (!text.empty()) GetTextExtentPoint32W(measuring_, text.data(), static_cast<int>(text.size()), &size);
  return static_cast<int>(size.cx);
}

void LogList::MeasureAllLines() {
  widest_ = 0;
  for (int64_t line = 0; line < LineCount(); ++line) {
    widest_ = std::max(widest_, Measure(Wide(lines_.Line(line))));
  }
}

void LogList::UpdateColumnWidth() {
  // The list's sideways scroll range is the column's width.
  const int width = widest_ + 2 * kTextMargin;
  if (width == columnWidth_) return;
  columnWidth_ = width;
  ListView_SetColumnWidth(list_, 0, width);
}

void LogList::CopySelectedLine() const {
  const int64_t selected = SelectedLine();
  // The line as the log shows it, time stamp included.
  if (selected >= 0) SetClipboardText(list_, std::string(lines_.Line(selected)));
}

void LogList::DrawLine(HDC dc, int64_t index) const {
  RECT row{};
  row.left = LVIR_BOUNDS;
  if (!SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row))) return;
  RECT client{};
  GetClientRect(list_, &client);
  row.right = std::max(row.right, client.right);
  // The newest line stays marked even while another control has the focus, as in the Linux window.
  const bool selected = ListView_GetItemState(list_, static_cast<int>(index), LVIS_SELECTED) != 0;
  SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const HGDIOBJ previousFont = SelectObject(dc, GetCurrentObject(measuring_, OBJ_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const std::wstring text = Wide(lines_.Line(index));
  const int top = row.top + (row.bottom - row.top - metrics.tmHeight) / 2;
  ExtTextOutW(dc, row.left + kTextMargin, top, ETO_OPAQUE | ETO_CLIPPED, &row, text.data(),
              static_cast<UINT>(text.size()), nullptr);
  SelectObject(dc, previousFont);
  if (GetFocus() == list_ && ListView_GetItemState(list_, static_cast<int>(index), LVIS_FOCUSED) != 0) {
    DrawFocusRect(dc, &row);
  }
}

}  // namespace varnetik::win32
