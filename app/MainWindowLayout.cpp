#include "app/MainWindowLayout.h"

#include <algorithm>

namespace varnetik {

int FittedTableHeight(int tabsBottom, int tableY) { return std::max(kTableFloor, tabsBottom - tableY - 15); }

MainWindowGeometry LayoutMainWindow(const LayoutInputs& in) {
  MainWindowGeometry out;
  // H includes the menu bar although y is measured below it: the bottom margins are sized for that.
  const int H = in.height;
  const int S = in.statusHeight;
  out.tabs = QRect(kTabsX, kTabsY, kTabsWidth, H - S - kTabsY - 30);
  out.resultTableHeight = FittedTableHeight(out.tabs.y() + out.tabs.height(), kTabsY + in.tabPageTop + kTableYInPage);

  int logTop = kScanButtonRect.y() + kScanButtonRect.height() + 2 * 10;
  if (in.logo) {
    out.logo = QRect(QPoint(in.width - 20 - in.logo->width(), kScanButtonRect.y() + kScanButtonRect.height() + 20),
                     *in.logo);
    logTop = out.logo->y() + out.logo->height() + 10;
  }
  out.log = QRect(kLogX, logTop, std::max(kLogFloor, in.width - kLogX - 20),
                  std::max(kLogFloor, H - S - logTop - 45));

  const int clearY = out.logo ? out.logo->y() + (out.logo->height() - kClearButtonSize.height()) / 2
                              : logTop - 10 - kClearButtonSize.height();
  out.clearButton = QRect(QPoint(out.log.x(), clearY), kClearButtonSize);
  return out;
}

}  // namespace varnetik
