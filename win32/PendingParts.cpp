// TEMPORARY: stands in for the log, table and picture parts until their branches are merged.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "win32/InfoWindow.h"
#include "win32/LogList.h"
#include "win32/Pictures.h"
#include "win32/ResultList.h"
#include "win32/TableMenu.h"
#include "win32/WebLinks.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {
std::vector<std::string>& Lines() {
  static std::vector<std::string> lines;
  return lines;
}
}  // namespace

LogList::LogList(HWND parent, int controlId)
    : handle_(::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                                0, 0, 10, 10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                nullptr, nullptr)) {}
HWND LogList::Handle() const { return handle_; }
void LogList::Append(const std::string& line) {
  Lines().push_back(line);
  const LRESULT index = ::SendMessageW(handle_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
  ::SendMessageW(handle_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
void LogList::Clear() {
  Lines().clear();
  ::SendMessageW(handle_, LB_RESETCONTENT, 0, 0);
}
int64_t LogList::LineCount() const { return static_cast<int64_t>(Lines().size()); }
std::string LogList::Line(int64_t index) const { return Lines().at(static_cast<size_t>(index)); }
int64_t LogList::SelectedLine() const { return ::SendMessageW(handle_, LB_GETCURSEL, 0, 0); }
bool LogList::HandleNotify(const NMHDR&, LRESULT&) { return false; }

HWND CreateResultList(HWND parent, ControlId id) {
  HWND list = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                0, 0, 10, 10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  const wchar_t* titles[] = {L"Adresse hex.", L"Adresse dez.", L"Wert hex.", L"Wert dez.", L""};
  const int widths[] = {120, 120, 120, 120, 187};
  for (int c = 0; c < 5; ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(titles[c]);
    column.cx = widths[c];
    ::SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

void FillResultList(HWND list, const std::vector<ResultRow>& rows) {
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::string* cells[] = {&rows[r].addressHex, &rows[r].addressDec, &rows[r].valueHex, &rows[r].valueDec};
    for (int c = 0; c < 4; ++c) {
      std::wstring text = Wide(*cells[c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = c;
      item.pszText = text.data();
      ::SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
  }
}

void RunTableMenu(HWND, HWND, std::optional<POINT>, OperatorConsole&) {}

HWND CreateLogoPicture(HWND) { return nullptr; }
void ShowInfoWindow(HWND) {}
bool IsInfoWindowMessage(MSG&) { return false; }
void OpenWebPage(const std::wstring&) {}

}  // namespace varnetik::win32
