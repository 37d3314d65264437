// The fixed texts of a window measured against the boxes they are drawn in, with the font each control
// uses at this moment: labels, push buttons, group frame titles, the entries of drop-down lists, tab titles
// and column titles. The boxes have fixed sizes, so a font that is too large cuts texts off.
#pragma once

#include <QSizeF>
#include <QString>
#include <vector>

class QWidget;

namespace varnetik {

struct Caption {
  const QWidget* control;  // the widget that draws the text
  QString text;
  QSizeF needed;  // the text with the padding the style keeps around it in this kind of control
  QSizeF room;    // what the control's size gives it; a size the control grows with counts as room enough

  bool Fits() const { return needed.width() <= room.width() && needed.height() <= room.height(); }
};

// Every caption of root's children, those on hidden tab pages included. Entries of editable combos are
// data (port names), not captions, and are left out.
std::vector<Caption> MeasureCaptions(const QWidget& root);

bool AllCaptionsFit(const QWidget& root);

}  // namespace varnetik
