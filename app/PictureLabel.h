// A picture shown at its own size that works as a button: a left click or a left double-click, Enter or
// Space while it has the focus, or the accessibility action "press" report it; other mouse buttons do
// nothing.
#pragma once

#include <QImage>
#include <QLabel>

namespace varnetik {

class PictureLabel : public QLabel {
  Q_OBJECT

 public:
  PictureLabel(const QImage& picture, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace varnetik
