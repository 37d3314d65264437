// The main window's logo: the JPEG embedded in the program, decoded with libjpeg, shown in a picture
// control that reports clicks (STN_CLICKED / STN_DBLCLK through WM_COMMAND to its parent).
#pragma once

#include <windows.h>

#include <span>

namespace varnetik::win32 {

// The logo picture control (decoded from the JPEG with libjpeg), child LogoPicture of parent, or nullptr
// when the logo cannot be loaded (the window then goes on without it, as the Qt window does).
// It is created at 0, 0 with the picture's size scaled to the parent's DPI, carries the maker's host
// name as its tooltip, and stretches the picture to whatever size the window gives it.
HWND CreateLogoPicture(HWND parent);
// The same from the given JPEG file bytes; nullptr when they do not decode.
HWND CreateLogoPicture(HWND parent, std::span<const unsigned char> jpegFile);

// A picture control's picture size in pixels, which is its size in 96-dpi logical pixels (the logo:
// 200 x 47). {0, 0} for a window that is not one of our picture controls.
SIZE PictureLogicalSize(HWND picture);

}  // namespace varnetik::win32
