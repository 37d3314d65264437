// UTF-8 to UTF-16 for the pictures' texts at the Win32 calls. Temporary: it goes when the window's one
// conversion helper (WideText) is merged in.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace varnetik::win32::pictures_detail {

inline std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace varnetik::win32::pictures_detail
