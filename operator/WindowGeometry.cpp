#include "operator/WindowGeometry.h"

#include <algorithm>
#include <cstdint>

namespace varnetik {

int ScaleToDpi(int logical, int dpi) {
  // Half away from zero, as MulDiv rounds.
  const int64_t product = static_cast<int64_t>(logical) * dpi;
  return static_cast<int>(product >= 0 ? (product + 48) / 96 : (product - 48) / 96);
}

LogicalRect ScaleToDpi(const LogicalRect& r, int dpi) {
  return {ScaleToDpi(r.x, dpi), ScaleToDpi(r.y, dpi), ScaleToDpi(r.width, dpi), ScaleToDpi(r.height, dpi)};
}

int FittedTableHeight(int tabsBottom, int tableY, int dpi) {
  return std::max(ScaleToDpi(kTableFloor, dpi), tabsBottom - tableY - ScaleToDpi(15, dpi));
}

WindowGeometry LayOutWindow(const WindowSize& in) {
  const auto s = [&in](int logical) { return ScaleToDpi(logical, in.dpi); };
  WindowGeometry out;
  // H includes the menu bar although y is measured below it: the bottom margins are sized for that.
  const int H = in.height;
  const int S = in.statusHeight;
  out.tabs = {s(kTabsRect.x), s(kTabsRect.y), s(kTabsRect.width), H - S - s(kTabsRect.y) - s(30)};
  out.resultTableHeight = FittedTableHeight(out.tabs.Bottom(), out.tabs.y + in.tabPageTop + s(kResultTableRect.y), in.dpi);

  const LogicalRect scan = ScaleToDpi(kScanButtonPlace, in.dpi);
  int logTop = scan.Bottom() + s(2 * 10);
  if (in.logo) {
    out.logo = LogicalRect{in.width - s(20) - in.logo->width, scan.Bottom() + s(20), in.logo->width, in.logo->height};
    logTop = out.logo->Bottom() + s(10);
  }
  out.log = {s(kLogX), logTop, std::max(s(kLogFloor), in.width - s(kLogX) - s(20)),
             std::max(s(kLogFloor), H - S - logTop - s(45))};
  const int buttonHeight = s(kClearButtonHeight);
  const int clearY = out.logo ? out.logo->y + (out.logo->height - buttonHeight) / 2 : logTop - s(10) - buttonHeight;
  out.clearButton = {out.log.x, clearY, s(kClearButtonWidth), buttonHeight};
  return out;
}

}  // namespace varnetik
