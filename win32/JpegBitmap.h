// JPEG decoding with libjpeg into a bitmap the picture controls can show.
#pragma once

#include <windows.h>

#include <span>

namespace varnetik::win32 {

// A 24-bit top-down DIB section of the picture's own size, or nullptr on any error or warning (a
// damaged or truncated file is not shown half grey). The caller owns the bitmap.
HBITMAP DecodeJpegBitmap(std::span<const unsigned char> file);

}  // namespace varnetik::win32
