// The embedded pictures decode to their sizes and colours; damaged ones are refused, never half-shown. The
// two pictures that open a web page say so to assistive technology.
#include <QAccessible>
#include <QBuffer>
#include <QImageWriter>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/InfoWindow.h"
#include "app/JpegDecoder.h"
#include "app/PictureLabel.h"
#include "app/Pictures.h"
#include "tests/support/WindowHarness.h"

namespace varnetik {
namespace {

QByteArray WithField(QByteArray file, int offset, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) file[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return file;
}

TEST(IconFile, PassesOnlyWithAConsistentDirectory) {
  const QByteArray good = EmbeddedAsset("varnetik.ico");
  ASSERT_EQ(good.size(), 6 + 16 + 744);
  const struct {
    const char* name;
    QByteArray file;
    bool passes;
  } cases[] = {
      {"embedded", good, true},
      {"six bytes", good.left(6), false},
      {"header and a stump of the entry", good.left(10), false},
      {"type word 2 (cursor)", WithField(good, 2, 2, 2), false},
      {"no image", WithField(good, 4, 0, 2), false},
      {"image one byte past the end", WithField(good, 6 + 8, 745, 4), false},
      {"offset past the end", WithField(good, 6 + 12, 0xFFFFFFFF, 4), false},
      {"a byte after the image", good + QByteArray(1, '\0'), true},
      {"image cut short", good.left(good.size() - 1), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IconFilePasses(c.file), c.passes) << c.name;
  EXPECT_TRUE(IconFromFile(WithField(good, 2, 2, 2)).isNull());
  const QIcon icon = IconFromFile(good);
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(32, 32)}));
}

TEST(Logo, DecodesWithLibjpegToItsSizeAndColours) {
  const QImage logo = DecodeJpeg(EmbeddedAsset("logo.jpg"));
  ASSERT_EQ(logo.size(), QSize(200, 47));
  // Inside the navy emblem and on the light background; red and blue must not be swapped.
  const QColor emblem = logo.pixelColor(6, 40);
  const QColor background = logo.pixelColor(48, 2);
  EXPECT_NEAR(emblem.red(), 26, 12);
  EXPECT_NEAR(emblem.blue(), 107, 12);
  EXPECT_GT(background.lightness(), 230);
}

TEST(Logo, DamagedFilesAreRefused) {
  const QByteArray good = EmbeddedAsset("logo.jpg");
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::white);  // a new image's pixels are unset; encoding them would read uninitialised memory
  QImageWriter(&buffer, "png").write(image);
  const struct {
    const char* name;
    QByteArray file;
  } cases[] = {
      {"empty", QByteArray()},
      {"not a picture", QByteArray("Varnetik")},
      {"only the header", good.left(200)},
      {"cut in the middle of the scan", good.left(good.size() / 2)},
      {"a PNG", png},
  };
  for (const auto& c : cases) EXPECT_TRUE(DecodeJpeg(c.file).isNull()) << c.name;
}

TEST(DonationPicture, DecodesWithQtsGifReader) {
  EXPECT_EQ(DecodeGif(EmbeddedAsset("donation.gif")).size(), QSize(98, 26));
  EXPECT_TRUE(DecodeGif(QByteArray("GIF89a")).isNull());
  EXPECT_TRUE(DecodeGif(EmbeddedAsset("logo.jpg")).isNull());
}

TEST(WindowIcon, ComesFromTheIconFileOnlyWhenItPasses) {
  testing::WindowHarness good;
  EXPECT_EQ(good.window->windowIcon().availableSizes(), QList<QSize>({QSize(32, 32)}));
  ShellConfig broken = testing::TestConfig();
  broken.iconFile = WithField(broken.iconFile, 4, 0, 2);
  testing::WindowHarness without(broken);
  // The window keeps the default icon.
  EXPECT_EQ(without.window->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
  EXPECT_NE(good.window->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}

// Tab reaches each picture after the window's controls; Enter, Space and the accessibility action "press"
// open its page; Esc closes the info window.
TEST(WebPictures, WorkFromTheKeyboardAndByPressAction) {
  testing::WindowHarness shell;
  shell.ShowAndSettle();
  shell.window->activateWindow();
  shell.window->Control(ControlId::ClearLogButton)->setFocus();
  QTest::keyClick(shell.window->windowHandle(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), shell.window->Logo());
  QTest::keyClick(shell.window->windowHandle(), Qt::Key_Return);
  QTest::keyClick(shell.window->windowHandle(), Qt::Key_Space);
  QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(shell.window->Logo())->actionInterface();
  ASSERT_NE(actions, nullptr);
  EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
  actions->doAction(QAccessibleActionInterface::pressAction());
  const QUrl maker = testing::TestConfig().makerPage;
  EXPECT_EQ(shell.dialogs.openedPages, std::vector<QUrl>({maker, maker, maker}));

  shell.dialogs.openedPages.clear();
  shell.window->ShowInfoWindow();
  InfoWindow* info = shell.window->Info();
  info->activateWindow();
  QTest::keyClick(info->windowHandle(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), info->DonationPicture());
  QTest::keyClick(info->windowHandle(), Qt::Key_Space);
  QAccessible::queryAccessibleInterface(info->DonationPicture())
      ->actionInterface()
      ->doAction(QAccessibleActionInterface::pressAction());
  const QUrl donation = testing::TestConfig().donationPage;
  EXPECT_EQ(shell.dialogs.openedPages, std::vector<QUrl>({donation, donation}));
  QTest::keyClick(info->windowHandle(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(shell.window->Info(), nullptr);
}

TEST(WebPictures, AreNamedByWhatTheyOpen) {
  testing::WindowHarness shell;
  shell.window->ShowInfoWindow();
  const std::pair<QWidget*, const char*> pictures[] = {
      {shell.window->Logo(), "Logo – Webseite des Herstellers öffnen"},
      {shell.window->Info()->DonationPicture(), "Spendenbild – Spendenseite öffnen"},
  };
  for (const auto& [picture, name] : pictures) {
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(picture)->text(QAccessible::Name), QString::fromUtf8(name));
  }
}

}  // namespace
}  // namespace varnetik
