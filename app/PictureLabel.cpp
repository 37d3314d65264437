#include "app/PictureLabel.h"

#include <QMouseEvent>
#include <QPixmap>

namespace varnetik {

PictureLabel::PictureLabel(const QImage& picture, QWidget* parent) : QLabel(parent) {
  setPixmap(QPixmap::fromImage(picture));
  setFixedSize(picture.size());
}

void PictureLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  event->accept();
}

void PictureLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  event->accept();
}

}  // namespace varnetik
