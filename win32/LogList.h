// The log control: one line per entry, kept in a compact store.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace varnetik::win32 {

class LogList {
 public:
  // Creates the log control as child `controlId` of parent.
  LogList(HWND parent, int controlId);
  HWND Handle() const;
  void Append(const std::string& utf8Line);  // appends and selects it
  void Clear();
  int64_t LineCount() const;
  std::string Line(int64_t index) const;
  int64_t SelectedLine() const;  // -1: none
  // The parent forwards every WM_NOTIFY whose hwndFrom is Handle(); true when handled (result set).
  bool HandleNotify(const NMHDR& header, LRESULT& result);

 private:
  HWND handle_ = nullptr;
};

}  // namespace varnetik::win32
