// The info window: name, notices and version, and the donation picture that opens the donation page.
// A top-level window of its own (not owned by the main window, not modal), fixed at 200 x 160.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

class QLabel;

namespace varnetik {

class PictureLabel;

// The fixed size and the places of the text and the picture are in operator/InfoContent.h, shared with
// the Windows window.

class InfoWindow : public QWidget {
  Q_OBJECT

 public:
  InfoWindow(const QString& makerHost, const QByteArray& donationGif);

  QLabel* Text() const { return text_; }
  PictureLabel* DonationPicture() const { return picture_; }  // null when the picture did not decode

 signals:
  void donationClicked();
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* text_ = nullptr;
  PictureLabel* picture_ = nullptr;
};

}  // namespace varnetik
