// The logo picture of the main window.
#pragma once

#include <windows.h>

namespace varnetik::win32 {

HWND CreateLogoPicture(HWND parent);

}  // namespace varnetik::win32
