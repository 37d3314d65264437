// The pictures built into the program from assets/ (the icon comes through the resource script).
#pragma once

#include <span>

namespace varnetik::win32 {

std::span<const unsigned char> EmbeddedLogoJpeg();     // 200 x 47 JPEG
std::span<const unsigned char> EmbeddedDonationGif();  // 98 x 26 GIF

}  // namespace varnetik::win32
