#include "app/LogView.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <string_view>

#include "app/AccessibleEvents.h"
#include "app/Clipboard.h"
#include "app/LogAccessible.h"

namespace varnetik {

namespace {

constexpr int kTextMargin = 3;
// A sideways step of the arrow keys moves by one byte of a dump: two digits and a blank.
constexpr int kCharactersPerSideStep = 3;

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, INT_MAX)); }

QString FromUtf8(std::string_view bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }

// Events name a line by its child index, an int; lines past that cannot be named.
void AnnounceLine(LogView& view, int64_t index, QAccessible::Event type) {
  if (index < 0 || index >= view.LineCount() || index > INT_MAX) return;
  QAccessibleEvent event(&view, type);
  event.setChild(static_cast<int>(index));
  SendAccessibleEvent(event);
}

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallLogAccessibility();
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
  UpdateScrollRange();
}

void LogView::Append(const QString& line) {
  const int64_t previous = selected_;
  // Someone reading an older line with the focus in the log keeps that line and the view until they move
  // back to the end; otherwise a screen reader would be pulled to the newest line with every new one.
  const bool readingOlderLine = hasFocus() && selected_ >= 0 && selected_ < LineCount() - 1;
  const QByteArray bytes = line.toUtf8();
  lines_.Append(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  widest_ = std::max(widest_, fontMetrics().horizontalAdvance(line));
  if (!readingOlderLine) selected_ = LineCount() - 1;
  UpdateScrollRange();
  EnsureVisible(selected_);
  viewport()->update();
  if (AccessibilityListening()) {
    AnnounceLine(*this, LineCount() - 1, QAccessible::ObjectCreated);
    if (!readingOlderLine) AnnounceSelection(previous);
  }
}

void LogView::Clear() {
  emit aboutToClear();
  lines_.Clear();
  selected_ = -1;
  widest_ = 0;
  UpdateScrollRange();
  viewport()->update();
  if (AccessibilityListening()) {
    QAccessibleTableModelChangeEvent reset(this, QAccessibleTableModelChangeEvent::ModelReset);
    SendAccessibleEvent(reset);
  }
}

QString LogView::Line(int64_t index) const {
  if (index < 0 || index >= LineCount()) return QString();
  return FromUtf8(lines_.Line(index));
}

int64_t LogView::FirstVisibleLine() const { return verticalScrollBar()->value(); }

int LogView::LineHeight() const { return fontMetrics().height() + 2; }

int LogView::FullyVisibleLines() const { return std::max(1, viewport()->height() / LineHeight()); }

QRect LogView::LineRect(int64_t index) const {
  const int64_t row = index - FirstVisibleLine();
  if (index < 0 || index >= LineCount() || row < 0 || row * LineHeight() >= viewport()->height()) return QRect();
  return QRect(0, static_cast<int>(row) * LineHeight(), viewport()->width(), LineHeight());
}

int64_t LogView::LineAt(const QPoint& point) const {
  if (!viewport()->rect().contains(point)) return -1;
  const int64_t index = FirstVisibleLine() + point.y() / LineHeight();
  return index < LineCount() ? index : -1;
}

void LogView::UpdateScrollRange() {
  const int visible = FullyVisibleLines();
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setRange(0, ClampToInt(LineCount() - visible));
  const int width = viewport()->width();
  horizontalScrollBar()->setPageStep(width);
  horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * kCharactersPerSideStep);
  horizontalScrollBar()->setRange(0, std::max(0, widest_ + 2 * kTextMargin - width));
}

void LogView::Select(int64_t index) {
  if (LineCount() == 0) return;
  const int64_t previous = selected_;
  selected_ = std::clamp<int64_t>(index, 0, LineCount() - 1);
  EnsureVisible(selected_);
  viewport()->update();
  if (selected_ != previous && AccessibilityListening()) AnnounceSelection(previous);
}

void LogView::EnsureVisible(int64_t index) {
  const int64_t first = FirstVisibleLine();
  const int visible = FullyVisibleLines();
  if (index < first) verticalScrollBar()->setValue(ClampToInt(index));
  if (index >= first + visible) verticalScrollBar()->setValue(ClampToInt(index - visible + 1));
}

void LogView::MeasureAllLines() {
  const QFontMetrics metrics = fontMetrics();
  widest_ = 0;
  for (int64_t line = 0; line < LineCount(); ++line) {
    widest_ = std::max(widest_, metrics.horizontalAdvance(FromUtf8(lines_.Line(line))));
  }
}

void LogView::AnnounceSelection(int64_t previous) {
  if (previous != selected_) AnnounceLine(*this, previous, QAccessible::SelectionRemove);
  AnnounceLine(*this, selected_, QAccessible::Selection);
  if (hasFocus()) AnnounceLine(*this, selected_, QAccessible::Focus);
}

void LogView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const int width = viewport()->width();
  // Text starts left of the viewport by the sideways scroll; the highlight always spans the viewport.
  const int textLeft = kTextMargin - horizontalScrollBar()->value();
  const int textWidth = std::max(widest_, width);
  // The newest line stays marked even while another control has the focus.
  const QPalette& colours = palette();
  int64_t index = FirstVisibleLine();
  for (int y = 0; y < viewport()->height() && index < LineCount(); y += height, ++index) {
    if (index == selected_) {
      painter.fillRect(QRect(0, y, width, height), colours.brush(QPalette::Active, QPalette::Highlight));
      painter.setPen(colours.color(QPalette::Active, QPalette::HighlightedText));
    } else {
      painter.setPen(colours.color(QPalette::Text));
    }
    painter.drawText(QRect(textLeft, y, textWidth, height), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     FromUtf8(lines_.Line(index)));
  }
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  // A log that showed its end keeps showing it when the view gets lower, as when the sideways scroll
  // bar appears under a long line.
  const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
  UpdateScrollRange();
  if (atEnd) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int64_t index = LineAt(event->position().toPoint());
  if (index >= 0) Select(index);
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    // The line as the log shows it, time stamp included.
    if (selected_ >= 0) SetClipboardText(Line(selected_));
    event->accept();
    return;
  }
  const int64_t page = FullyVisibleLines();
  switch (event->key()) {
    case Qt::Key_Up: Select(selected_ - 1); break;
    case Qt::Key_Down: Select(selected_ + 1); break;
    case Qt::Key_PageUp: Select(selected_ - page); break;
    case Qt::Key_PageDown: Select(selected_ + page); break;
    case Qt::Key_Home: Select(0); break;
    case Qt::Key_End: Select(LineCount() - 1); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
  event->accept();
}

void LogView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  // A screen reader names the line the keys now move, not only the list.
  if (AccessibilityListening()) AnnounceLine(*this, selected_, QAccessible::Focus);
}

void LogView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  MeasureAllLines();
  UpdateScrollRange();
  viewport()->update();
}

}  // namespace varnetik
