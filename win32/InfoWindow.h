// The info window: one instance, not modal.
#pragma once

#include <windows.h>

namespace varnetik::win32 {

void ShowInfoWindow(HWND owner);
bool IsInfoWindowMessage(MSG& msg);

}  // namespace varnetik::win32
