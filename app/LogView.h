// The log list: text lines of one uniform height, appended at the end and removed only all at once.
// Appending costs the same however long the log has grown: the lines are kept in the compact line store
// the Windows window uses too (UTF-8, about the bytes of the lines), only the visible lines are painted,
// and the scroll range is a count of lines. (An item view re-lays out every
// row after each insertion, which grows with the log.) Lines are not wrapped; the view scrolls sideways
// up to the widest line, whose width is taken as each line arrives, so old lines are never measured
// again (except all at once when the font changes).
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <cstdint>

#include "operator/LogLineStore.h"

namespace varnetik {

class LogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent);

  // Appends the line and selects it, scrolling so that it is visible; while the log has the focus on an
  // older line, that line stays selected and in view instead.
  void Append(const QString& line);
  void Clear();

  int64_t LineCount() const { return lines_.Count(); }
  QString Line(int64_t index) const;
  int64_t SelectedLine() const { return selected_; }  // -1: none
  int64_t FirstVisibleLine() const;
  int LineHeight() const;
  // Number of lines that fit entirely into the visible area (at least 1).
  int FullyVisibleLines() const;
  // Where the line is drawn in the viewport, the whole width of the viewport; empty when it is not shown.
  QRect LineRect(int64_t index) const;
  // The line under a point of the viewport; -1 where there is none.
  int64_t LineAt(const QPoint& point) const;

 signals:
  // Every line is about to be removed.
  void aboutToClear();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void UpdateScrollRange();
  void Select(int64_t index);
  void EnsureVisible(int64_t index);
  void MeasureAllLines();
  void AnnounceSelection(int64_t previous);

  LogLineStore lines_;
  int64_t selected_ = -1;
  int widest_ = 0;  // pixel width of the widest line in the current font
};

}  // namespace varnetik
