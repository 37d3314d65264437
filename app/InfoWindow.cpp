#include "app/InfoWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

#include "app/PictureLabel.h"
#include "app/Pictures.h"
#include "operator/InfoContent.h"
#include "operator/WebPictureNames.h"

namespace varnetik {

namespace {

QRect ToQRect(const InfoRect& rect) { return QRect(rect.x, rect.y, rect.width, rect.height); }

}  // namespace

InfoWindow::InfoWindow(const QString& makerHost, const QByteArray& donationGif)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("InfoWindow"));
  setWindowTitle(QString::fromUtf8(kInfoWindowTitle));
  setFixedSize(kInfoWindowWidth, kInfoWindowHeight);

  const QImage picture = DecodeGif(donationGif);
  const int pictureHeight = picture.isNull() ? 0 : picture.height();
  text_ = new QLabel(QString::fromStdString(InfoText(makerHost.toStdString(), "\n")), this);
  text_->setObjectName(QStringLiteral("InfoText"));
  text_->setTextFormat(Qt::PlainText);
  text_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  text_->setGeometry(ToQRect(InfoTextRect(pictureHeight)));

  if (!picture.isNull()) {
    picture_ = new PictureLabel(picture, this);
    picture_->setObjectName(QStringLiteral("DonationPicture"));
    picture_->move(ToQRect(DonationPictureRect(picture.width(), picture.height())).topLeft());
    picture_->setToolTip(QString::fromUtf8(kDonationTooltip));
    picture_->setAccessibleName(QString::fromUtf8(kDonationPictureName));
    connect(picture_, &PictureLabel::clicked, this, &InfoWindow::donationClicked);
  }

  if (QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void InfoWindow::keyPressEvent(QKeyEvent* event) {
  // Esc closes it like its close box; the window has no button to take the key.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void InfoWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

}  // namespace varnetik
