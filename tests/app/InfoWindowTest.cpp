// The info window: one at most, its fixed layout, its text, and the two pictures that open web pages.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "app/InfoWindow.h"
#include "app/PictureLabel.h"
#include "tests/support/WindowHarness.h"
#include "tests/support/RealInput.h"

namespace varnetik {
namespace {

using testing::WindowHarness;

int InfoWindowCount() {
  int count = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) count += qobject_cast<InfoWindow*>(widget) != nullptr;
  return count;
}

void SendDoubleClick(QWidget* widget, Qt::MouseButton button) {
  const QPointF at(5, 5);
  QMouseEvent event(QEvent::MouseButtonDblClick, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// A click on "Menü" in the menu bar, then "Info..." chosen in the menu it opens.
void ChooseInfo(WindowHarness& shell, testing::Choice choice) {
  QMenuBar* bar = shell.window->menuBar();
  ASSERT_EQ(bar->actions().size(), 1);
  ASSERT_EQ(bar->actions().first()->text(), "Menü");
  testing::LeftClick(bar, bar->actionGeometry(bar->actions().first()).center());
  QMenu* menu = testing::OpenPopupMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions(), QList<QAction*>({shell.window->InfoAction()}));
  testing::ChooseMenuItem(*menu, *shell.window->InfoAction(), choice);
  QApplication::processEvents();
  EXPECT_EQ(testing::OpenPopupMenu(), nullptr);
}

TEST(InfoWindow, ChoosingInfoTwiceShowsOneWindow) {
  WindowHarness shell;
  shell.ShowAndSettle();
  ChooseInfo(shell, testing::Choice::Mouse);
  InfoWindow* first = shell.window->Info();
  ASSERT_NE(first, nullptr);
  ChooseInfo(shell, testing::Choice::Keyboard);
  EXPECT_EQ(shell.window->Info(), first);
  EXPECT_EQ(InfoWindowCount(), 1);
  EXPECT_TRUE(first->isVisible());
}

TEST(InfoWindow, HasItsFixedLayoutTextAndPicture) {
  WindowHarness shell;
  shell.window->ShowInfoWindow();
  InfoWindow* info = shell.window->Info();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->windowTitle(), "Info");
  EXPECT_EQ(info->size(), QSize(200, 160));
  EXPECT_EQ(info->minimumSize(), info->maximumSize());
  EXPECT_EQ(info->parentWidget(), nullptr);
  EXPECT_EQ(info->windowModality(), Qt::NonModal);
  EXPECT_FALSE(info->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(info->Text()->geometry(), QRect(16, 16, 168, 80));
  const QStringList lines = info->Text()->text().split('\n');
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], "Varnetik");
  EXPECT_EQ(lines[2], testing::TestConfig().makerPage.host());
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "V 1.0.1");
  ASSERT_NE(info->DonationPicture(), nullptr);
  EXPECT_EQ(info->DonationPicture()->objectName(), "DonationPicture");
  EXPECT_EQ(info->DonationPicture()->geometry(), QRect(51, 108, 98, 26));
  EXPECT_EQ(info->DonationPicture()->toolTip(), "Danke!");
}

TEST(InfoWindow, ClosingLeavesTheMainWindowAndReopeningBuildsAFreshOne) {
  WindowHarness shell;
  shell.ShowAndSettle();
  ChooseInfo(shell, testing::Choice::Keyboard);
  QPointer<InfoWindow> first = shell.window->Info();
  ASSERT_NE(first, nullptr);
  first->close();
  EXPECT_EQ(shell.window->Info(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_TRUE(shell.window->isVisible());
  ChooseInfo(shell, testing::Choice::Mouse);
  ASSERT_NE(shell.window->Info(), nullptr);
  EXPECT_EQ(shell.window->Info()->DonationPicture()->geometry(), QRect(51, 108, 98, 26));
  EXPECT_EQ(InfoWindowCount(), 1);
}

TEST(InfoWindow, WithoutItsPictureShowsTheTextAlone) {
  ShellConfig config = testing::TestConfig();
  config.donationFile = QByteArray("kaputt");
  WindowHarness shell(config);
  shell.window->ShowInfoWindow();
  EXPECT_EQ(shell.window->Info()->DonationPicture(), nullptr);
  EXPECT_EQ(shell.window->Info()->findChild<QWidget*>("DonationPicture"), nullptr);
  EXPECT_EQ(shell.window->Info()->Text()->geometry(), QRect(16, 16, 168, 80));
}

TEST(WebPictures, LeftClicksOpenTheirPageAndRightClicksNothing) {
  WindowHarness shell;
  shell.ShowAndSettle();
  shell.window->ShowInfoWindow();
  const ShellConfig config = testing::TestConfig();
  const QUrl maker = config.makerPage;
  const QUrl donation = config.donationPage;
  ASSERT_EQ(maker.scheme(), "https");
  ASSERT_EQ(donation.scheme(), "https");
  const struct {
    QWidget* picture;
    QUrl page;
  } cases[] = {{shell.window->Logo(), maker}, {shell.window->Info()->DonationPicture(), donation}};
  for (const auto& c : cases) {
    ASSERT_NE(c.picture, nullptr);
    shell.dialogs.openedPages.clear();
    QTest::mouseClick(c.picture, Qt::RightButton);
    SendDoubleClick(c.picture, Qt::RightButton);
    EXPECT_TRUE(shell.dialogs.openedPages.empty());
    QTest::mouseClick(c.picture, Qt::LeftButton);
    EXPECT_EQ(shell.dialogs.openedPages, std::vector<QUrl>({c.page}));
    SendDoubleClick(c.picture, Qt::LeftButton);
    EXPECT_EQ(shell.dialogs.openedPages, std::vector<QUrl>({c.page, c.page}));
  }
  EXPECT_EQ(shell.window->Logo()->toolTip(), maker.host());
}

}  // namespace
}  // namespace varnetik
