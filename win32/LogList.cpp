#include "win32/LogList.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

namespace varnetik::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// Private until the window's shared conversion pair exists; both directions are lossless for valid UTF-8.
std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

int ItemIndex(int64_t line) { return static_cast<int>(std::min<int64_t>(line, INT_MAX)); }

bool PutOnClipboard(HWND owner, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  // On success the clipboard owns the memory.
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!placed) GlobalFree(memory);
  return placed;
}

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
  const int64_t selected = SelectedLine();
  // Someone reading an older line with the focus in the log keeps that line and the view until they move
  // back to the end; otherwise a screen reader would be pulled to the newest line with every new one.
  const bool readingOlderLine = GetFocus() == list_ && selected >= 0 && selected < LineCount() - 1;
  lines_.Append(utf8Line);
  widest_ = std::max(widest_, Measure(WideFromUtf8(utf8Line)));
  UpdateColumnWidth();
  const int newest = ItemIndex(LineCount() - 1);
  // Only the new line is painted (when it is in view); the others keep their state and the view its place.
  ListView_SetItemCountEx(list_, ItemIndex(LineCount()), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (readingOlderLine) return;
  ListView_SetItemState(list_, newest, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list_, newest, FALSE);
}

void LogList::Clear() {
  ListView_SetItemCountEx(list_, 0, 0);
  lines_.Clear();
  widest_ = 0;
  UpdateColumnWidth();
  InvalidateRect(list_, nullptr, TRUE);
}

int64_t LogList::LineCount() const { return lines_.Count(); }

std::string LogList::Line(int64_t index) const { return std::string(lines_.Line(index)); }

int64_t LogList::SelectedLine() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

bool LogList::HandleNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != list_) return false;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      // What screen readers and the list itself read; the list's buffer (260 characters) cuts longer dumps,
      // which the drawing below shows whole.
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
      if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
        const std::wstring text = WideFromUtf8(lines_.Line(item.iItem));
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
    widest_ = std::max(widest_, Measure(WideFromUtf8(lines_.Line(line))));
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
  if (selected >= 0) PutOnClipboard(list_, WideFromUtf8(lines_.Line(selected)));
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
  const std::wstring text = WideFromUtf8(lines_.Line(index));
  const int top = row.top + (row.bottom - row.top - metrics.tmHeight) / 2;
  ExtTextOutW(dc, row.left + kTextMargin, top, ETO_OPAQUE | ETO_CLIPPED, &row, text.data(),
              static_cast<UINT>(text.size()), nullptr);
  SelectObject(dc, previousFont);
  if (GetFocus() == list_ && ListView_GetItemState(list_, static_cast<int>(index), LVIS_FOCUSED) != 0) {
    DrawFocusRect(dc, &row);
  }
}

}  // namespace varnetik::win32
