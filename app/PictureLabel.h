// A picture shown at its own size that reports a left click or a left double-click; other buttons do
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
};

}  // namespace varnetik
