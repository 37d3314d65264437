#include "app/WindowFont.h"

#include <QFontInfo>
#include <QWidget>
#include <algorithm>

#include "app/Captions.h"

namespace varnetik {

qreal PointSize(const QFont& font) {
  return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

QFont FitWindowFont(QWidget& window, const QWidget& captionRoot, const QFont& desktop) {
  const qreal desktopSize = PointSize(desktop);
  const qreal floor = std::min(desktopSize, kReadablePointSize);
  QFont font = desktop;
  // Every property is the window's own from here on: a later change of the application's font cannot
  // resize the captions behind the measurement's back.
  font.setResolveMask(QFont::AllPropertiesResolved);
  for (qreal size = desktopSize;; size -= kPointSizeStep) {
    size = std::max(size, floor);
    font.setPointSizeF(size);
    // The controls take the font at once, so the measurement sees their new text sizes and tab widths.
    window.setFont(font);
    if (size == floor || AllCaptionsFit(captionRoot)) return font;
  }
}

}  // namespace varnetik
