#include "app/Captions.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QStyleOptionHeader>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

namespace varnetik {

namespace {

// Width and line height of a text in the control's current font.
QSizeF TextSize(const QWidget& control, const QString& text) {
  const QFontMetricsF metrics(control.font());
  return {metrics.horizontalAdvance(text), metrics.height()};
}

// A label's field may start inside the label's box and is drawn over it; the text must end before it.
void AddLabel(const QLabel& label, std::vector<Caption>& captions) {
  if (label.text().isEmpty()) return;
  const int margin = 2 * label.margin();
  QSizeF room = QSizeF(label.contentsRect().size()) - QSizeF(margin, margin);
  const QWidget* field = label.buddy();
  if (field != nullptr && field->parentWidget() == label.parentWidget() &&
      field->geometry().intersects(label.geometry()) && field->x() > label.x()) {
    room.setWidth(std::min<qreal>(room.width(), field->x() - label.x() - margin));
  }
  captions.push_back({&label, label.text(), TextSize(label, label.text()), room});
}

// The style draws the text inside the button's contents rectangle and keeps its button margin free
// beside it.
void AddButton(const QPushButton& button, std::vector<Caption>& captions) {
  if (button.text().isEmpty()) return;
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  if (button.autoDefault() || button.isDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
  const QRect contents = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
  const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, &option, &button);
  captions.push_back({&button, button.text(), TextSize(button, button.text()),
                      QSizeF(contents.width() - margin, contents.height())});
}

// The title takes the room the style gives it at the frame's top; the same inset is kept on the right.
void AddGroupTitle(const QGroupBox& frame, std::vector<Caption>& captions) {
  if (frame.title().isEmpty()) return;
  QStyleOptionGroupBox option;
  option.initFrom(&frame);
  option.text = frame.title();
  option.lineWidth = 1;
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  option.textAlignment = frame.alignment();
  const QRect title = frame.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame);
  const QSizeF text = TextSize(frame, frame.title());
  captions.push_back({&frame, frame.title(), QSizeF(std::max<qreal>(title.width(), text.width()) + 2 * title.x(),
                                                    text.height()),
                      QSizeF(frame.width(), text.height())});
}

// Each entry of a drop-down list is shown in the edit field, one pixel in from both sides as the styles
// draw it.
void AddListEntries(const QComboBox& combo, std::vector<Caption>& captions) {
  if (combo.isEditable()) return;
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  option.editable = false;
  option.frame = combo.hasFrame();
  const QRect field =
      combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
  const QSizeF room(field.width() - 2, field.height());
  for (int i = 0; i < combo.count(); ++i) {
    const QString entry = combo.itemText(i);
    if (!entry.isEmpty()) captions.push_back({&combo, entry, TextSize(combo, entry), room});
  }
}

// A tab is as wide as its title and the style's tab spacing need, but only the part inside the panel can
// be seen; the bar gets the panel's width once the panel lays itself out.
void AddTabTitles(const QTabBar& bar, std::vector<Caption>& captions) {
  const auto* panel = qobject_cast<const QTabWidget*>(bar.parentWidget());
  const int barWidth = panel != nullptr ? panel->width() : bar.width();
  const int spacing = bar.style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, &bar);
  for (int i = 0; i < bar.count(); ++i) {
    const QString title = bar.tabText(i);
    if (title.isEmpty()) continue;
    const QRect tab = bar.tabRect(i);
    const QSizeF text = TextSize(bar, title);
    const int visible = std::min(tab.right() + 1, barWidth) - std::max(tab.left(), 0);
    captions.push_back({&bar, title, QSizeF(text.width() + spacing, text.height()), QSizeF(visible, text.height())});
  }
}

// A column title must fit its column's fixed width with the style's header margins; the header's height
// follows the font.
void AddColumnTitles(const QHeaderView& header, std::vector<Caption>& captions) {
  if (header.model() == nullptr) return;
  for (int i = 0; i < header.count(); ++i) {
    if (header.isSectionHidden(i)) continue;
    const QString title = header.model()->headerData(i, header.orientation()).toString();
    if (title.isEmpty()) continue;
    QStyleOptionHeader option;
    option.initFrom(&header);
    option.text = title;
    option.section = i;
    option.orientation = header.orientation();
    const QSize needed = header.style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), &header);
    captions.push_back({&header, title, QSizeF(needed.width(), 0), QSizeF(header.sectionSize(i), 0)});
  }
}

void AddCaptionsOf(const QWidget* control, std::vector<Caption>& captions) {
  if (const auto* label = qobject_cast<const QLabel*>(control)) AddLabel(*label, captions);
  if (const auto* button = qobject_cast<const QPushButton*>(control)) AddButton(*button, captions);
  if (const auto* frame = qobject_cast<const QGroupBox*>(control)) AddGroupTitle(*frame, captions);
  if (const auto* combo = qobject_cast<const QComboBox*>(control)) AddListEntries(*combo, captions);
  if (const auto* bar = qobject_cast<const QTabBar*>(control)) AddTabTitles(*bar, captions);
  if (const auto* header = qobject_cast<const QHeaderView*>(control)) AddColumnTitles(*header, captions);
}

}  // namespace

std::vector<Caption> MeasureCaptions(const QWidget& root) {
  std::vector<Caption> captions;
  for (const QWidget* control : root.findChildren<QWidget*>()) AddCaptionsOf(control, captions);
  return captions;
}

bool AllCaptionsFit(const QWidget& root) {
  // Control by control, stopping at the first caption that does not fit: the font fitting asks this once
  // per size step, and every step but the last is answered by one caption that is too wide.
  std::vector<Caption> captions;
  for (const QWidget* control : root.findChildren<QWidget*>()) {
    captions.clear();
    AddCaptionsOf(control, captions);
    if (!std::all_of(captions.begin(), captions.end(), [](const Caption& caption) { return caption.Fits(); })) {
      return false;
    }
  }
  return true;
}

}  // namespace varnetik
