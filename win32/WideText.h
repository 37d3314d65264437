// Our texts are UTF-8; Windows speaks UTF-16. The conversion happens at the Win32 call, here, and only
// here: every part of the window converts through these.
#pragma once

#include <string>
#include <string_view>

namespace varnetik::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
std::string Utf8(const wchar_t* wide, int length);

}  // namespace varnetik::win32
