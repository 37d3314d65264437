// The system's message font at a given DPI: the font of every control of the program's windows.
#pragma once

#include <windows.h>

namespace varnetik::win32 {

// A new font the caller deletes; the stock GUI font's twin when the metrics cannot be read.
HFONT CreateMessageFont(int dpi);

}  // namespace varnetik::win32
