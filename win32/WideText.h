// Our texts are UTF-8; Windows speaks UTF-16. The conversion happens at the Win32 call, here.
#pragma once

#include <string>

namespace varnetik::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide, int length);

}  // namespace varnetik::win32
