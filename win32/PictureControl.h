// A picture that works as a link: a static bitmap control that reports clicks to its parent
// (SS_NOTIFY: STN_CLICKED, STN_DBLCLK) and has a tooltip. When it has the keyboard focus, Enter and Space
// report a click as well.
#pragma once

#include <windows.h>

#include <string>

namespace varnetik::win32 {

// Whether Tab and Shift+Tab stop at the picture (WS_TABSTOP).
enum class PictureFocus { NoTabStop, TabStop };

// Child `id` of parent at x, y (physical pixels), sized to the bitmap scaled from 96 dpi to the
// parent's DPI. The control takes the bitmap over and deletes it when it is destroyed; it draws the
// picture smoothly stretched to any size it is given. nullptr (and the bitmap deleted) on failure.
// Its tooltip, and its name for assistive technology (set as an annotation of the control, since a
// bitmap static's window text would be taken as a resource name).
struct PictureTexts {
  std::wstring tooltip;
  std::wstring accessibleName;
};

HWND CreatePictureControl(HWND parent, int id, HBITMAP bitmap, int x, int y, const PictureTexts& texts,
                          PictureFocus focus);

// The bitmap's own size, {0, 0} for a window that is not a picture control of ours.
SIZE PictureBitmapSize(HWND control);

}  // namespace varnetik::win32
