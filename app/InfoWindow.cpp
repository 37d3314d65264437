#include "app/InfoWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <algorithm>

#include "app/PictureLabel.h"
#include "app/Pictures.h"

namespace varnetik {

namespace {

constexpr int kMargin = 16;
constexpr QSize kTextSize{168, 80};
constexpr int kGapBelowText = 12;

}  // namespace

int InfoContentTop(int pictureHeight) {
  const int content = std::min(kTextSize.height() + kGapBelowText + pictureHeight + 14 + 28,
                               kInfoWindowSize.height() - 2 * kMargin);
  return (kInfoWindowSize.height() - content) / 2;
}

QPoint DonationPicturePosition(QSize picture) {
  return QPoint((kInfoWindowSize.width() - picture.width()) / 2,
                InfoContentTop(picture.height()) + kTextSize.height() + kGapBelowText);
}

QString InfoText(const QString& makerHost) {
  return QStringLiteral("Varnetik\n© Varnetik-Team\n") + makerHost + QStringLiteral("\n\n") +
         QString::fromLatin1(kVersionText);
}

InfoWindow::InfoWindow(const QString& makerHost, const QByteArray& donationGif)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("InfoWindow"));
  setWindowTitle(QStringLiteral("Info"));
  setFixedSize(kInfoWindowSize);

  const QImage picture = DecodeGif(donationGif);
  const int top = InfoContentTop(picture.isNull() ? 0 : picture.height());
  text_ = new QLabel(InfoText(makerHost), this);
  text_->setObjectName(QStringLiteral("InfoText"));
  text_->setTextFormat(Qt::PlainText);
  text_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  text_->setGeometry(QRect(QPoint(kMargin, top), kTextSize));

  if (!picture.isNull()) {
    picture_ = new PictureLabel(picture, this);
    picture_->setObjectName(QStringLiteral("DonationPicture"));
    picture_->move(DonationPicturePosition(picture.size()));
    picture_->setToolTip(QStringLiteral("Danke!"));
    picture_->setAccessibleName(QStringLiteral("Spendenbild – Spendenseite öffnen"));
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
