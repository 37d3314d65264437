#include "app/PictureLabel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionFocusRect>

namespace varnetik {

namespace {

// The picture as assistive technology sees it: a graphic that offers "press" besides taking the focus.
class PictureAccessible : public QAccessibleWidget {
 public:
  explicit PictureAccessible(PictureLabel* picture) : QAccessibleWidget(picture, QAccessible::Graphic) {}
  QStringList actionNames() const override {
    return QStringList(QAccessibleActionInterface::pressAction()) + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == QAccessibleActionInterface::pressAction()) {
      emit static_cast<PictureLabel*>(widget())->clicked();
      return;
    }
    QAccessibleWidget::doAction(action);
  }
};

QAccessibleInterface* PictureFactory(const QString&, QObject* object) {
  if (auto* picture = qobject_cast<PictureLabel*>(object)) return new PictureAccessible(picture);
  return nullptr;
}

}  // namespace

PictureLabel::PictureLabel(const QImage& picture, QWidget* parent) : QLabel(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(&PictureFactory);
    return true;
  }();
  (void)installed;
  setPixmap(QPixmap::fromImage(picture));
  setFixedSize(picture.size());
  // Tab and Shift+Tab reach it, but a click does not move the focus away from where the operator works.
  setFocusPolicy(Qt::TabFocus);
}

void PictureLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  event->accept();
}

void PictureLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  event->accept();
}

void PictureLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        emit clicked();
        event->accept();
        return;
      }
      break;
    default: break;
  }
  QLabel::keyPressEvent(event);
}

void PictureLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  // The picture fills its whole box, so the focus is marked on top of it.
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.rect = rect();
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

}  // namespace varnetik
