// The resizable parts of the main window: the arithmetic on its own, then the live window after start-up
// and after resizes, with and without the logo.
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>

#include "app/MainWindowLayout.h"
#include "app/OperationTabs.h"
#include "app/PictureLabel.h"
#include "app/ResultTable.h"
#include "tests/support/WindowHarness.h"

namespace varnetik {
namespace {

using testing::ConfigWithoutLogo;
using testing::WindowHarness;

constexpr QSize kLogo{200, 47};

struct ArithmeticCase {
  const char* name;
  LayoutInputs in;
  QRect tabs;
  int tableHeight;
  std::optional<QPoint> logo;
  QRect log;
  QPoint clear;
};
void PrintTo(const ArithmeticCase& c, std::ostream* os) { *os << c.name; }

// S = 22 and a page top of 25 stand for any platform's bar heights.
const ArithmeticCase kArithmetic[] = {
    {"start", {1078, 700, 22, 25, kLogo}, {10, 130, 700, 518}, 398, QPoint(858, 72), {720, 129, 338, 504}, {720, 82}},
    {"wider and taller", {1500, 1000, 22, 25, kLogo}, {10, 130, 700, 818}, 698, QPoint(1280, 72),
     {720, 129, 760, 804}, {720, 82}},
    {"minimum size", {1078, 480, 22, 25, kLogo}, {10, 130, 700, 298}, 178, QPoint(858, 72), {720, 129, 338, 284},
     {720, 82}},
    {"no logo", {1078, 700, 22, 25, std::nullopt}, {10, 130, 700, 518}, 398, std::nullopt, {720, 72, 338, 561},
     {720, 36}},
    // Below the minimum the floors hold: tables 80 high, the log at least 50 by 50.
    {"floors", {600, 240, 22, 25, kLogo}, {10, 130, 700, 58}, 80, QPoint(380, 72), {720, 129, 50, 50}, {720, 82}},
};

class LayoutArithmetic : public ::testing::TestWithParam<ArithmeticCase> {};

TEST_P(LayoutArithmetic, PlacesEveryResizablePart) {
  const ArithmeticCase& c = GetParam();
  const MainWindowGeometry g = LayoutMainWindow(c.in);
  EXPECT_EQ(g.tabs, c.tabs);
  EXPECT_EQ(g.resultTableHeight, c.tableHeight);
  ASSERT_EQ(g.logo.has_value(), c.logo.has_value());
  if (c.logo) {
    EXPECT_EQ(*g.logo, QRect(*c.logo, kLogo));
  }
  EXPECT_EQ(g.log, c.log);
  EXPECT_EQ(g.clearButton, QRect(c.clear, QSize(110, 26)));
}

INSTANTIATE_TEST_SUITE_P(Cases, LayoutArithmetic, ::testing::ValuesIn(kArithmetic),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

// The live window against the same rules, with the platform's own bar heights.
void ExpectLaidOut(const WindowHarness& shell, int W, int H) {
  MainWindow& window = *shell.window;
  ASSERT_EQ(window.width(), W);
  ASSERT_EQ(window.height(), H);
  const int S = window.statusBar()->sizeHint().height();
  const QWidget* logo = window.Control(ControlId::LogoPicture);
  const int T = logo != nullptr ? 129 : 72;
  if (logo != nullptr) {
    EXPECT_EQ(logo->geometry(), QRect(W - 220, 72, 200, 47));
  }
  EXPECT_EQ(window.Log()->geometry(), QRect(720, T, std::max(50, W - 740), std::max(50, H - S - T - 45)));
  EXPECT_EQ(window.Control(ControlId::ClearLogButton)->geometry(),
            QRect(720, logo != nullptr ? 82 : 36, 110, 26));
  EXPECT_EQ(window.Tabs()->geometry(), QRect(10, 130, 700, H - S - 160));
  const int tableHeight = std::max(80, H - S - 30 - (130 + window.Tabs()->PageTop() + 80) - 15);
  for (ControlId id : {ControlId::RtuResultTable, ControlId::TcpResultTable}) {
    EXPECT_EQ(window.Table(id)->geometry(), QRect(10, 80, 670, tableHeight)) << static_cast<int>(id);
  }
}

TEST(MainWindowLayout, AfterStartUpIs1078WideAnd700High) {
  WindowHarness shell;
  ExpectLaidOut(shell, 1078, 700);
  EXPECT_EQ(shell.window->minimumSize(), QSize(1078, 480));
  EXPECT_EQ(shell.window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

TEST(MainWindowLayout, ShownWindowMatchesThePlatformBarsItWasComputedWith) {
  WindowHarness shell;
  shell.ShowAndSettle();
  MainWindow& window = *shell.window;
  EXPECT_EQ(window.statusBar()->height(), window.statusBar()->sizeHint().height());
  // Control positions are measured from just below the menu bar.
  EXPECT_EQ(window.ControlArea()->y(), window.menuBar()->height());
  const QPoint table = window.Table(ControlId::RtuResultTable)->mapTo(window.ControlArea(), QPoint(0, 0));
  EXPECT_EQ(table.y(), 130 + window.Tabs()->PageTop() + 80);
  ExpectLaidOut(shell, 1078, 700);
}

struct ResizeCase {
  QSize requested;
  QSize expected;
};
void PrintTo(const ResizeCase& c, std::ostream* os) {
  *os << c.requested.width() << "x" << c.requested.height();
}

// "800x300_NoLogo": the requested size and whether the window shows its logo.
std::string ResizeName(const ::testing::TestParamInfo<std::tuple<ResizeCase, bool>>& info) {
  const auto& [c, withLogo] = info.param;
  return std::to_string(c.requested.width()) + "x" + std::to_string(c.requested.height()) +
         (withLogo ? "_Logo" : "_NoLogo");
}

const ResizeCase kResizes[] = {
    {{1078, 700}, {1078, 700}}, {{1400, 900}, {1400, 900}}, {{2400, 1500}, {2400, 1500}},
    {{1078, 480}, {1078, 480}}, {{800, 300}, {1078, 480}},  {{1200, 400}, {1200, 480}},
};

class MainWindowResize : public ::testing::TestWithParam<std::tuple<ResizeCase, bool>> {};

TEST_P(MainWindowResize, LaysOutAgainWithinTheMinimum) {
  const auto& [c, withLogo] = GetParam();
  WindowHarness shell(withLogo ? testing::TestConfig() : ConfigWithoutLogo());
  ASSERT_EQ(shell.window->findChild<QWidget*>("LogoPicture") != nullptr, withLogo);
  shell.ShowAndSettle();
  shell.window->resize(c.requested);
  QApplication::processEvents();
  ExpectLaidOut(shell, c.expected.width(), c.expected.height());
}

INSTANTIATE_TEST_SUITE_P(Sizes, MainWindowResize, ::testing::Combine(::testing::ValuesIn(kResizes), ::testing::Bool()),
                         ResizeName);

TEST(MainWindowLayout, WriteTabsChangeNoTableSizeAndReadTabsFitTheirTable) {
  WindowHarness shell;
  shell.ShowAndSettle();
  ResultTable* rtu = shell.window->Table(ControlId::RtuResultTable);
  ResultTable* tcp = shell.window->Table(ControlId::TcpResultTable);
  const int fitted = rtu->height();
  rtu->resize(670, 100);
  tcp->resize(670, 100);
  shell.window->Tabs()->setCurrentIndex(1);
  shell.window->Tabs()->setCurrentIndex(3);
  EXPECT_EQ(rtu->height(), 100);
  EXPECT_EQ(tcp->height(), 100);
  shell.window->Tabs()->setCurrentIndex(2);
  EXPECT_EQ(tcp->height(), fitted);
  EXPECT_EQ(rtu->height(), 100);
  shell.window->Tabs()->setCurrentIndex(0);
  EXPECT_EQ(rtu->height(), fitted);
}

}  // namespace
}  // namespace varnetik
