// The info window: one at most, not modal, its fixed layout and text, closing and opening anew, and the
// donation picture that asks for the donation page on a left click only.
#include "win32/InfoWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/PicturesTestSupport.h"
#include "win32/PictureControl.h"
#include "win32/WebLinks.h"

namespace varnetik::win32 {
namespace {

constexpr int kInfoTextId = 2101;
constexpr int kDonationPictureId = 2100;

std::vector<HWND> InfoWindows() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (std::wstring(className) == L"VarnetikInfoWindow") reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

void CloseInfoWindow() {
  if (HWND info = InfoWindowHandle()) SendMessageW(info, WM_CLOSE, 0, 0);
  testing::Pump();
}

// Records the pages asked for instead of starting a browser.
class InfoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReplaceWebPageOpener([this](const std::wstring& address) { opened_.push_back(address); });
  }
  void TearDown() override {
    CloseInfoWindow();
    ReplaceWebPageOpener({});
  }
  std::vector<std::wstring> opened_;
};

TEST_F(InfoWindowTest, ShowingItTwiceKeepsOneWindowInFront) {
  ShowInfoWindow(nullptr);
  testing::Pump();
  HWND first = InfoWindowHandle();
  ASSERT_NE(first, nullptr);
  ShowInfoWindow(nullptr);
  testing::Pump();
  EXPECT_EQ(InfoWindowHandle(), first);
  EXPECT_EQ(InfoWindows(), std::vector<HWND>{first});
  EXPECT_TRUE(IsWindowVisible(first));
  EXPECT_EQ(GetForegroundWindow(), first);
}

TEST_F(InfoWindowTest, HasItsFixedLayoutTextAndPicture) {
  ShowInfoWindow(nullptr);
  HWND info = InfoWindowHandle();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(TextOf(info), L"Info");
  EXPECT_EQ(GetWindow(info, GW_OWNER), nullptr);
  const LONG style = GetWindowLongW(info, GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD), 0);
  EXPECT_TRUE(style & WS_SYSMENU);
  // The test program does not declare itself DPI-aware, so it works at 96 dpi.
  ASSERT_EQ(GetDpiForWindow(info), 96u);
  RECT client;
  GetClientRect(info, &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 160);

  HWND text = GetDlgItem(info, kInfoTextId);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(testing::ChildRect(text), (RECT{16, 16, 16 + 168, 16 + 80}));
  EXPECT_TRUE(GetWindowLongW(text, GWL_STYLE) & SS_NOPREFIX);
  const std::vector<std::wstring> lines = Lines(TextOf(text));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], L"Varnetik");
  EXPECT_EQ(lines[1], L"\u00A9 Varnetik-Team");
  EXPECT_NE(MakerPageAddress().find(L"://" + lines[2]), std::wstring::npos);
  EXPECT_EQ(lines[3], L"");
  EXPECT_EQ(lines[4], L"V 1.0.1");

  HWND picture = GetDlgItem(info, kDonationPictureId);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(PictureBitmapSize(picture).cx, 98);
  EXPECT_EQ(testing::ChildRect(picture), (RECT{51, 108, 51 + 98, 108 + 26}));
  EXPECT_EQ(testing::TooltipOf(picture), L"Danke!");
}

TEST_F(InfoWindowTest, WithoutItsPictureShowsTheTextAlone) {
  const std::string notAPicture = "GIF89a";
  ShowInfoWindow(nullptr, std::vector<unsigned char>(notAPicture.begin(), notAPicture.end()));
  HWND info = InfoWindowHandle();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(GetDlgItem(info, kDonationPictureId), nullptr);
  HWND text = GetDlgItem(info, kInfoTextId);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(testing::ChildRect(text), (RECT{16, 16, 16 + 168, 16 + 80}));
}

TEST_F(InfoWindowTest, ClosingDestroysItAndTheNextShowBuildsItAnew) {
  ShowInfoWindow(nullptr);
  HWND first = InfoWindowHandle();
  ASSERT_NE(first, nullptr);
  // Its close box sends WM_CLOSE; Esc reaches it through the message loop.
  const struct {
    const char* name;
    void (*close)(HWND info);
  } ways[] = {
      {"close request", [](HWND info) { SendMessageW(info, WM_CLOSE, 0, 0); }},
      {"Esc", [](HWND info) {
         PostMessageW(info, WM_KEYDOWN, VK_ESCAPE, 1);
         PostMessageW(info, WM_KEYUP, VK_ESCAPE, 0xC0000001);
       }},
  };
  for (const auto& way : ways) {
    HWND info = InfoWindowHandle();
    ASSERT_NE(info, nullptr) << way.name;
    way.close(info);
    testing::Pump();
    EXPECT_EQ(InfoWindowHandle(), nullptr) << way.name;
    EXPECT_FALSE(IsWindow(info)) << way.name;
    EXPECT_TRUE(InfoWindows().empty()) << way.name;
    ShowInfoWindow(nullptr);
    testing::Pump();
    HWND again = InfoWindowHandle();
    ASSERT_NE(again, nullptr) << way.name;
    EXPECT_EQ(InfoWindows(), std::vector<HWND>{again}) << way.name;
    HWND picture = GetDlgItem(again, kDonationPictureId);
    ASSERT_NE(picture, nullptr) << way.name;
    EXPECT_EQ(testing::ChildRect(picture), (RECT{51, 108, 51 + 98, 108 + 26})) << way.name;
  }
  EXPECT_TRUE(opened_.empty());
}

TEST_F(InfoWindowTest, OnlyALeftClickOnTheDonationPictureAsksForTheDonationPage) {
  struct Press {
    UINT message;
    WPARAM keys;
  };
  const struct {
    const char* name;
    std::vector<Press> presses;
    size_t pagesAsked;
  } cases[] = {
      {"left click", {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}}, 1},
      // The first press of a double-click is a click of its own.
      {"left double-click",
       {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}, {WM_LBUTTONDBLCLK, MK_LBUTTON}, {WM_LBUTTONUP, 0}},
       2},
      {"right click", {{WM_RBUTTONDOWN, MK_RBUTTON}, {WM_RBUTTONUP, 0}}, 0},
      {"middle click", {{WM_MBUTTONDOWN, MK_MBUTTON}, {WM_MBUTTONUP, 0}}, 0},
  };
  ShowInfoWindow(nullptr);
  testing::Pump();
  HWND info = InfoWindowHandle();
  ASSERT_NE(info, nullptr);
  HWND picture = GetDlgItem(info, kDonationPictureId);
  ASSERT_NE(picture, nullptr);
  // The middle of the picture, and the picture is what the window has there.
  const RECT rect = testing::ChildRect(picture);
  const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ASSERT_EQ(ChildWindowFromPointEx(info, middle, CWP_SKIPINVISIBLE), picture);
  const LPARAM at = MAKELPARAM((rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2);
  for (const auto& c : cases) {
    opened_.clear();
    for (const Press& press : c.presses) PostMessageW(picture, press.message, press.keys, at);
    testing::Pump();
    EXPECT_EQ(opened_.size(), c.pagesAsked) << c.name;
    for (const std::wstring& page : opened_) EXPECT_EQ(page, DonationPageAddress()) << c.name;
  }
  EXPECT_NE(DonationPageAddress(), MakerPageAddress());
}

TEST_F(InfoWindowTest, TabReachesTheDonationPictureWhereEnterAndSpaceAskForThePage) {
  ShowInfoWindow(nullptr);
  testing::Pump();
  HWND info = InfoWindowHandle();
  ASSERT_NE(info, nullptr);
  HWND picture = GetDlgItem(info, kDonationPictureId);
  ASSERT_NE(picture, nullptr);
  ASSERT_EQ(GetForegroundWindow(), info);
  PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
  PostMessageW(GetFocus(), WM_KEYUP, VK_TAB, 0xC0000001);
  testing::Pump();
  ASSERT_EQ(GetFocus(), picture);
  for (const WPARAM key : {VK_RETURN, VK_SPACE}) {
    opened_.clear();
    PostMessageW(picture, WM_KEYDOWN, key, 1);
    PostMessageW(picture, WM_KEYUP, key, 0xC0000001);
    testing::Pump();
    EXPECT_EQ(opened_, std::vector<std::wstring>{DonationPageAddress()}) << key;
  }
}

}  // namespace
}  // namespace varnetik::win32
