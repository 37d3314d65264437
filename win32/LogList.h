// The window's log: a virtual report list view with one column and no header over a compact line store.
// The list view asks for the text of the lines it shows (and screen readers ask it through the system's
// list-view support), so an append costs the same at the millionth line as at the first and no line is
// kept twice. The column is as wide as the widest line, measured as each line arrives with the list's
// font (all lines once more when the font changes), so that a long frame dump can be scrolled sideways.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "operator/LogLineStore.h"

namespace varnetik::win32 {

class LogList {
 public:
  // Creates the log control (a virtual report list view) as child `controlId` of parent.
  LogList(HWND parent, int controlId);
  ~LogList();
  LogList(const LogList&) = delete;
  LogList& operator=(const LogList&) = delete;

  HWND Handle() const;
  void Append(const std::string& utf8Line);  // appends and selects it, keeping the reader's place while the log has the focus on an older line
  void Clear();
  int64_t LineCount() const;
  std::string Line(int64_t index) const;     // UTF-8, for tests and Ctrl+C
  int64_t SelectedLine() const;              // -1: none
  // The parent forwards every WM_NOTIFY whose hwndFrom is Handle(); true when handled (result set).
  bool HandleNotify(const NMHDR& header, LRESULT& result);

  // Pixel width of the widest line in the list's current font.
  int WidestLine() const { return widest_; }
  // Space left and right of a line's text inside the column.
  static constexpr int kTextMargin = 4;

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  int Measure(const std::wstring& text) const;
  void MeasureAllLines();
  void UpdateColumnWidth();
  void CopySelectedLine() const;
  void DrawLine(HDC dc, int64_t index) const;

  HWND list_ = nullptr;
  HDC measuring_ = nullptr;  // a memory DC holding the list's font, so that measuring needs no window DC
  LogLineStore lines_;
  int widest_ = 0;
  int columnWidth_ = -1;
};

}  // namespace varnetik::win32
