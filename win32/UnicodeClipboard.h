// The clipboard as one Unicode text.
#pragma once

#include <windows.h>

#include <string>

namespace varnetik::win32 {

// Replaces the clipboard's content by the text (UTF-8 here, CF_UNICODETEXT there). When the clipboard
// cannot be had nothing happens and nothing is reported.
void SetClipboardText(HWND owner, const std::string& utf8);
// The clipboard's Unicode text as UTF-8; empty when there is none.
std::string ClipboardText(HWND owner);

}  // namespace varnetik::win32
