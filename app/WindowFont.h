// The font of a window whose controls have fixed sizes. The boxes were drawn for a narrow message font; a
// desktop's own font (Cantarell 11 pt on GNOME, DejaVu Sans elsewhere) is wider and taller, so the window
// keeps the desktop's family and takes the largest size, up to the desktop's, at which every caption fits.
#pragma once

#include <QFont>

class QWidget;

namespace varnetik {

// 7.5 pt (10 pixels at 96 dpi) is about the smallest size still read without effort, half a point under
// classic dialog text: a wide desktop font (DejaVu Sans) needs it for "Startadresse (dez.):" to end before
// the field that covers the end of its box. A desktop set even smaller keeps its own size.
inline constexpr qreal kReadablePointSize = 7.5;
// Steps fine enough to keep every point of size a box allows; 0.25 pt is a third of a pixel at 96 dpi.
inline constexpr qreal kPointSizeStep = 0.25;

// Tries the desktop font's sizes from its own downwards on window (all of it, menu and status bar too) and
// keeps the first at which every caption under captionRoot fits, or the readable minimum. Returns the
// font the window now has.
QFont FitWindowFont(QWidget& window, const QWidget& captionRoot, const QFont& desktop);

// Point size of a font given in points or in pixels, at the logical resolution of the screen.
qreal PointSize(const QFont& font);

}  // namespace varnetik
