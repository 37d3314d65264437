// Web pages opened in the operator's browser.
#pragma once

#include <string>

namespace varnetik::win32 {

void OpenWebPage(const std::wstring& address);

}  // namespace varnetik::win32
