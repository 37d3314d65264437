// The info window: name, notices and version, and the donation picture that opens the donation page.
// A top-level window of its own (not owned by the main window, not modal), fixed at 200 x 160.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

class QLabel;

namespace varnetik {

class PictureLabel;

inline constexpr QSize kInfoWindowSize{200, 160};
inline constexpr char kVersionText[] = "V 1.0.1";

// Top edge of the text block: the text (80), a gap (12), the picture (pictureHeight), and room below
// (14 + 28), centred vertically and capped to the window less 16 at top and bottom.
int InfoContentTop(int pictureHeight);
// Where the donation picture of the given size sits.
QPoint DonationPicturePosition(QSize picture);
// The five lines of the text block (the fourth empty).
QString InfoText(const QString& makerHost);

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
