// The info window: the program's name, the maker's notices and the version, and the donation picture
// that opens the donation page. A top-level window of its own, not owned by the main window and not
// modal; at most one exists, and closing it destroys it.
#pragma once

#include <windows.h>

#include <span>

namespace varnetik::win32 {

// Shows the info window, centred on owner's monitor; when it already exists, brings it to the front.
void ShowInfoWindow(HWND owner);   // one instance, not modal; a second call brings it to the front
// The same with the given GIF file as the donation picture; a file that does not decode leaves the
// picture out and the text stands alone.
void ShowInfoWindow(HWND owner, std::span<const unsigned char> donationGif);
// For the message loop, before TranslateMessage: keyboard navigation in the info window (Esc closes it).
// True when the message was handled and must not be dispatched again.
bool IsInfoWindowMessage(MSG& msg);

// The info window, or nullptr when it is closed.
HWND InfoWindowHandle();

}  // namespace varnetik::win32
