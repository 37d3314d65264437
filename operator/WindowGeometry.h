// Where the resizable parts of the main window go for a given window size, at any display resolution.
// Pure arithmetic, so that the numbers can be checked without a window. The fixed numbers are 96-dpi
// logical pixels; inputs and results are device pixels at `dpi`. y values are measured in the client
// area, below the menu bar.
#pragma once

#include <optional>

#include "operator/MainWindowControls.h"

namespace varnetik {

inline constexpr int kCreationWidth = 1160;
inline constexpr int kStartHeight = 700;
inline constexpr int kFirstRowWidth = 1078;  // right edge of "Trennen" + 10
inline constexpr int kMinimumHeight = 480;
inline constexpr LogicalRect kTabsRect{10, 130, 700, 0};  // the height follows the window
inline constexpr LogicalRect kScanButtonPlace{780, 28, 84, 24};
inline constexpr int kLogX = 720;
inline constexpr int kClearButtonWidth = 110;
inline constexpr int kClearButtonHeight = 26;
inline constexpr int kLogoWidth = 200;
inline constexpr int kLogoHeight = 47;
inline constexpr int kTableFloor = 80;
inline constexpr int kLogFloor = 50;
inline constexpr int kSerialStatusWidth = 380;

// A 96-dpi logical length at dpi, rounded as the system rounds (MulDiv).
int ScaleToDpi(int logical, int dpi);
LogicalRect ScaleToDpi(const LogicalRect& logical, int dpi);

struct WindowSize {
  int dpi = 96;
  int width = 0;         // W: client width
  int height = 0;        // H: client height plus the menu bar's height
  int statusHeight = 0;  // S
  int tabPageTop = 0;    // from the tab panel's top edge to its pages' top edge
  std::optional<LogicalRect> logo;  // the picture's size in device pixels, when there is one
};

struct WindowGeometry {
  LogicalRect tabs;
  int resultTableHeight = 0;  // both tables alike
  std::optional<LogicalRect> logo;
  LogicalRect log;
  LogicalRect clearButton;
};

// Height of a result table whose top is at tableY in the client area, in a tab panel ending at tabsBottom.
int FittedTableHeight(int tabsBottom, int tableY, int dpi);

WindowGeometry LayOutWindow(const WindowSize& size);

}  // namespace varnetik
