// The window's places at the display's DPI: every fixed control at its 96-dpi place scaled, the resizable
// parts by the layout rules, and every caption fitting its control with the control's own font. Run at
// 96 dpi by CTest and at 120 and 144 dpi by win32_layout_dpi_test, which sets Wine's LogPixels first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "operator/WindowGeometry.h"
#include "tests/win32/WindowDriver.h"
#include "win32/MainWindow.h"
#include "win32/WideText.h"

namespace varnetik::testing {
namespace {

using win32::MainWindow;

// The rules at 96 dpi with the numbers the window is known by, and the same window at 144 dpi.
TEST(WindowGeometry, PlacesTheResizablePartsByTheRules) {
  const struct {
    int dpi;
    int statusHeight;
    LogicalRect logo, log, clear;
    int tabsHeight;
  } cases[] = {
      {96, 20, {858, 72, 200, 47}, {720, 129, 338, 700 - 20 - 129 - 45}, {720, 82, 110, 26}, 700 - 20 - 160},
      {144, 30, {1287, 108, 300, 71}, {1080, 194, 507, 1050 - 30 - 194 - 68}, {1080, 124, 165, 39}, 1050 - 30 - 240},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dpi);
    WindowSize size;
    size.dpi = c.dpi;
    size.width = ScaleToDpi(kFirstRowWidth, c.dpi);
    size.height = ScaleToDpi(kStartHeight, c.dpi);
    size.statusHeight = c.statusHeight;
    size.logo = LogicalRect{0, 0, c.logo.width, c.logo.height};
    const WindowGeometry g = LayOutWindow(size);
    EXPECT_EQ(g.logo, c.logo);
    EXPECT_EQ(g.log, c.log);
    EXPECT_EQ(g.clearButton, c.clear);
    EXPECT_EQ(g.tabs.height, c.tabsHeight);
    size.logo.reset();
    // Without the picture the log starts 20 below the first row and the button sits above it.
    EXPECT_EQ(LayOutWindow(size).log.y, ScaleToDpi(72, c.dpi));
    EXPECT_EQ(LayOutWindow(size).clearButton.y, ScaleToDpi(72 - 10 - 26, c.dpi));
  }
}

class WindowLayout : public ::testing::Test {
 protected:
  WindowLayout() : window_(state_, win32::WindowConfig{}), driver_(window_) { driver_.Settle(); }

  // A control's place in its parent's client area.
  static LogicalRect PlaceOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  static SIZE TextSize(HWND control, const std::string& text) {
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    const std::wstring wide = win32::Wide(text);
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return size;
  }
  int Scale(int logical) const { return ScaleToDpi(logical, window_.Dpi()); }
  void ExpectFixedControlsAt(int dpi);

  AppState state_;
  MainWindow window_;
  WindowDriver driver_;
};

TEST_F(WindowLayout, RunsAtTheDisplaysDpi) {
  const char* expected = std::getenv("VARNETIK_EXPECT_DPI");
  EXPECT_EQ(window_.Dpi(), expected != nullptr ? std::atoi(expected) : 96);
  RECT client{};
  ::GetClientRect(window_.Handle(), &client);
  EXPECT_EQ(client.right, Scale(kFirstRowWidth));
}

TEST_F(WindowLayout, EveryFixedControlSitsAtItsScaledPlace) { ExpectFixedControlsAt(window_.Dpi()); }

// What Windows sends when the window moves to a monitor of another resolution (Wine has one system DPI,
// so the message is sent here as Windows would send it): every place and the font follow.
TEST_F(WindowLayout, ADpiChangeRescalesEveryPlaceAndTheFont) {
  const int dpi = window_.Dpi() * 3 / 2;
  RECT frame{};
  ::GetWindowRect(window_.Handle(), &frame);
  RECT suggested{frame.left, frame.top, frame.left + (frame.right - frame.left) * 3 / 2,
                 frame.top + (frame.bottom - frame.top) * 3 / 2};
  LOGFONTW before{};
  HWND label = window_.BuiltControls().front().handle;
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)), sizeof before, &before);
  ::SendMessageW(window_.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  driver_.Settle();
  EXPECT_EQ(window_.Dpi(), dpi);
  ExpectFixedControlsAt(dpi);
  LOGFONTW after{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)), sizeof after, &after);
  EXPECT_GT(std::abs(after.lfHeight), std::abs(before.lfHeight));
  const LogicalRect log = PlaceOf(window_.Control(ControlId::LogList));
  EXPECT_EQ(log.x, ScaleToDpi(720, dpi));
}

void WindowLayout::ExpectFixedControlsAt(int dpi) {
  for (const MainWindow::Built& b : window_.BuiltControls()) {
    const LogicalRect want = ScaleToDpi(b.plan->rect, dpi);
    LogicalRect got = PlaceOf(b.handle);
    if (b.plan->kind == ControlKind::SpinBox) got.width += PlaceOf(window_.SpinArrows(*b.plan->id)).width;
    SCOPED_TRACE(b.plan->id ? std::string(ControlIdName(*b.plan->id)) : b.plan->caption);
    if (b.plan->kind == ControlKind::DropDownList || b.plan->kind == ControlKind::EditableCombo) {
      // A closed combo box is as high as the system makes it for its font.
      EXPECT_EQ((LogicalRect{got.x, got.y, got.width, 0}), (LogicalRect{want.x, want.y, want.width, 0}));
      continue;
    }
    EXPECT_EQ(got, want);
  }
}

TEST_F(WindowLayout, TheResizablePartsFollowTheWindow) {
  RECT client{};
  ::GetClientRect(window_.Handle(), &client);
  const LogicalRect bar = PlaceOf(window_.StatusBar());
  const LogicalRect tabs = PlaceOf(window_.Control(ControlId::OperationTabs));
  const int H = window_.InnerHeight();
  EXPECT_EQ(tabs, (LogicalRect{Scale(10), Scale(130), Scale(700), H - bar.height - Scale(130) - Scale(30)}));
  const LogicalRect log = PlaceOf(window_.Control(ControlId::LogList));
  const int logTop = window_.Logo() != nullptr ? PlaceOf(window_.Logo()).Bottom() + Scale(10) : Scale(72);
  EXPECT_EQ(log, (LogicalRect{Scale(720), logTop, client.right - Scale(740), H - bar.height - logTop - Scale(45)}));
  EXPECT_EQ(PlaceOf(window_.Control(ControlId::ClearLogButton)).x, Scale(720));
  // The table of the page in front reaches down to 15 above the panel's bottom edge.
  RECT table{};
  ::GetWindowRect(window_.Control(ControlId::RtuResultTable), &table);
  ::MapWindowPoints(nullptr, window_.Handle(), reinterpret_cast<POINT*>(&table), 2);
  EXPECT_EQ(table.bottom, tabs.Bottom() - Scale(15));
}

// A caption that does not fit is cut off. Buttons keep a margin for their frame, lists one for the arrow.
TEST_F(WindowLayout, EveryCaptionFits) {
  const int frame = Scale(8);
  const int arrow = ::GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(window_.Dpi())) + Scale(6);
  const std::vector<MainWindow::Built>& built = window_.BuiltControls();
  for (size_t i = 0; i < built.size(); ++i) {
    const MainWindow::Built& b = built[i];
    LogicalRect room = PlaceOf(b.handle);
    std::vector<std::pair<std::string, int>> texts;  // text, width it needs beside itself
    switch (b.plan->kind) {
      case ControlKind::Label:
        // The field after a label may start inside the label's box (the FC 16 group's start address)
        // and is drawn over its end: the text must end before the field.
        if (i + 1 < built.size() && ::GetParent(built[i + 1].handle) == ::GetParent(b.handle)) {
          const LogicalRect field = PlaceOf(built[i + 1].handle);
          if (field.x > room.x && field.x < room.Right() && field.y < room.Bottom() && field.Bottom() > room.y) {
            room.width = field.x - room.x;
          }
        }
        texts.push_back({b.plan->caption, 0});
        break;
      case ControlKind::Button: texts.push_back({b.plan->caption, frame}); break;
      case ControlKind::GroupFrame: texts.push_back({b.plan->caption, Scale(16)}); break;
      case ControlKind::DropDownList:
        for (const std::string& entry : b.plan->entries) texts.push_back({entry, arrow});
        break;
      default: break;
    }
    for (const auto& [text, margin] : texts) {
      const SIZE size = TextSize(b.handle, text);
      EXPECT_LE(size.cx + margin, room.width) << text;
      if (b.plan->kind != ControlKind::DropDownList) {
        EXPECT_LE(size.cy, room.height) << text;
      }
    }
  }
  HWND tabs = window_.Control(ControlId::OperationTabs);
  for (int page = 0; page < kTabPageCount; ++page) {
    RECT item{};
    ::SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
    EXPECT_LE(TextSize(tabs, TabPageTitles()[static_cast<size_t>(page)]).cx, item.right - item.left);
  }
  // Fitting never goes below the readable floor of 10 pixels at 96 dpi.
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(tabs, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_GE(std::abs(font.lfHeight), Scale(10));
  const SIZE clear = TextSize(window_.Control(ControlId::ClearLogButton), kClearLogCaption);
  EXPECT_LE(clear.cx + frame, Scale(kClearButtonWidth));
}

}  // namespace
}  // namespace varnetik::testing
