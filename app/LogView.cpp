#include "app/LogView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace varnetik {

namespace {

constexpr int kTextMargin = 3;

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, INT_MAX)); }

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
  UpdateScrollRange();
}

void LogView::Append(const QString& line) {
  lines_.push_back(line);
  selected_ = LineCount() - 1;
  UpdateScrollRange();
  EnsureVisible(selected_);
  viewport()->update();
}

void LogView::Clear() {
  lines_.clear();
  selected_ = -1;
  UpdateScrollRange();
  viewport()->update();
}

QString LogView::Line(int64_t index) const {
  if (index < 0 || index >= LineCount()) return QString();
  return lines_[static_cast<size_t>(index)];
}

int64_t LogView::FirstVisibleLine() const { return verticalScrollBar()->value(); }

int LogView::LineHeight() const { return fontMetrics().height() + 2; }

int LogView::FullyVisibleLines() const { return std::max(1, viewport()->height() / LineHeight()); }

void LogView::UpdateScrollRange() {
  const int visible = FullyVisibleLines();
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setRange(0, ClampToInt(LineCount() - visible));
}

void LogView::Select(int64_t index) {
  if (LineCount() == 0) return;
  selected_ = std::clamp<int64_t>(index, 0, LineCount() - 1);
  EnsureVisible(selected_);
  viewport()->update();
}

void LogView::EnsureVisible(int64_t index) {
  const int64_t first = FirstVisibleLine();
  const int visible = FullyVisibleLines();
  if (index < first) verticalScrollBar()->setValue(ClampToInt(index));
  if (index >= first + visible) verticalScrollBar()->setValue(ClampToInt(index - visible + 1));
}

void LogView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const int width = viewport()->width();
  // The newest line stays marked even while another control has the focus.
  const QPalette& colours = palette();
  int64_t index = FirstVisibleLine();
  for (int y = 0; y < viewport()->height() && index < LineCount(); y += height, ++index) {
    const QRect row(0, y, width, height);
    if (index == selected_) {
      painter.fillRect(row, colours.brush(QPalette::Active, QPalette::Highlight));
      painter.setPen(colours.color(QPalette::Active, QPalette::HighlightedText));
    } else {
      painter.setPen(colours.color(QPalette::Text));
    }
    painter.drawText(row.adjusted(kTextMargin, 0, -kTextMargin, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, lines_[static_cast<size_t>(index)]);
  }
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int64_t index = FirstVisibleLine() + static_cast<int64_t>(event->position().y()) / LineHeight();
  if (index < LineCount()) Select(index);
}

void LogView::keyPressEvent(QKeyEvent* event) {
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

void LogView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateScrollRange();
}

}  // namespace varnetik
