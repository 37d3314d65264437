// Where the resizable parts of the main window go for a given window size. Pure arithmetic, so that the
// numbers can be checked without a window. All values are device-independent pixels; y values are
// measured from the top of the area below the menu bar.
#pragma once

#include <QRect>
#include <QSize>
#include <optional>

#include "operator/WindowGeometry.h"

namespace varnetik {

inline constexpr QRect kScanButtonRect{780, 28, 84, 24};
inline constexpr int kTabsX = 10;
inline constexpr int kTabsY = 130;
inline constexpr int kTabsWidth = 700;
inline constexpr int kTableYInPage = 80;
inline constexpr QSize kClearButtonSize{110, 26};

struct LayoutInputs {
  int width = 0;         // W: the window's width
  int height = 0;        // H: height below the title bar, menu bar included
  int statusHeight = 0;  // S: height of the status bar
  int tabPageTop = 0;    // offset of a tab page inside the tab panel
  std::optional<QSize> logo;
};

struct MainWindowGeometry {
  QRect tabs;
  int resultTableHeight = 0;  // both tables alike
  std::optional<QRect> logo;
  QRect log;
  QRect clearButton;
};

// Height of a result table whose top is at tableY, inside a tab panel whose bottom edge is tabsBottom.
int FittedTableHeight(int tabsBottom, int tableY);

MainWindowGeometry LayoutMainWindow(const LayoutInputs& inputs);

}  // namespace varnetik
