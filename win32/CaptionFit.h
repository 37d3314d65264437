// The fixed captions of the main window against the boxes they are drawn in. The boxes were drawn for a
// narrow message font; a wider one (Tahoma under Wine, a large-text setting) would cut captions off, so
// the window takes the largest size of the message font, down to a readable floor, at which all fit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace varnetik::win32 {

struct CaptionRoom {
  std::string text;
  int width = 0;   // device pixels the text may take
  int height = 0;  // 0: the control grows with its font (drop-down lists)
};

// Every label, button, group frame title and drop-down entry of the main window with its room at dpi: a
// button keeps a margin for its frame, a frame title one for the frame's corners, a list one for its arrow.
std::vector<CaptionRoom> FixedCaptions(int dpi);

// The text's size in the font.
SIZE TextExtent(HFONT font, const std::string& text);

bool AllCaptionsFit(HFONT font, int dpi);

// 7.5 pt (10 pixels at 96 dpi): about the smallest size still read without effort.
inline constexpr int kReadableFontPixels = 10;

// The message font at dpi, made smaller step by step until every caption fits or the floor is reached.
HFONT CreateFittingFont(int dpi);

}  // namespace varnetik::win32
