// GIF decoding through the system's own picture loading (OLE's OleLoadPicture), for the donation picture.
#pragma once

#include <windows.h>

#include <span>

namespace varnetik::win32 {

// A 24-bit DIB section of the picture's own size with the picture drawn over background (which shows
// through its transparent pixels), or nullptr when the bytes are not a GIF the system can decode. COM
// must be initialised on the calling thread. The caller owns the bitmap.
HBITMAP DecodeGifBitmap(std::span<const unsigned char> file, COLORREF background);

}  // namespace varnetik::win32
