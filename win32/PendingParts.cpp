// TEMPORARY: stands in for the picture part until their branches are merged.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "win32/InfoWindow.h"
#include "win32/Pictures.h"
#include "win32/WebLinks.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

HWND CreateLogoPicture(HWND) { return nullptr; }
void ShowInfoWindow(HWND) {}
bool IsInfoWindowMessage(MSG&) { return false; }
void OpenWebPage(const std::wstring&) {}

}  // namespace varnetik::win32
