// The logo through libjpeg, the donation picture through the system's picture loading, and the logo's
// picture control.
#include "win32/Pictures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operator/ControlId.h"
#include "tests/win32/PicturesTestSupport.h"
#include "win32/EmbeddedPictures.h"
#include "win32/GifBitmap.h"
#include "win32/JpegBitmap.h"
#include "win32/WebLinks.h"

namespace varnetik::win32 {
namespace {

using testing::PixelRgb;

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  return {info.bmWidth, info.bmHeight};
}

std::vector<unsigned char> Bytes(std::span<const unsigned char> bytes) { return {bytes.begin(), bytes.end()}; }

// A plain top-level window to hold the logo.
class ParentWindow {
 public:
  ParentWindow() {
    window_ = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~ParentWindow() { DestroyWindow(window_); }
  HWND Handle() const { return window_; }

 private:
  HWND window_;
};

TEST(Logo, DecodesWithLibjpegToItsSizeAndColours) {
  HBITMAP logo = DecodeJpegBitmap(EmbeddedLogoJpeg());
  ASSERT_NE(logo, nullptr);
  const SIZE size = BitmapSize(logo);
  EXPECT_EQ(size.cx, 200);
  EXPECT_EQ(size.cy, 47);
  // Inside the navy emblem and on the light background; red and blue must not be swapped.
  const unsigned emblem = PixelRgb(logo, 6, 40);
  EXPECT_NEAR(static_cast<int>(emblem >> 16), 26, 12);
  EXPECT_NEAR(static_cast<int>(emblem & 0xFF), 107, 12);
  const unsigned background = PixelRgb(logo, 48, 2);
  EXPECT_GT(static_cast<int>(background >> 16), 230);
  EXPECT_GT(static_cast<int>((background >> 8) & 0xFF), 230);
  DeleteObject(logo);
}

TEST(Logo, DamagedFilesGiveNoPictureAndNoControl) {
  const std::vector<unsigned char> good = Bytes(EmbeddedLogoJpeg());
  const std::string text = "Varnetik";
  const struct {
    const char* name;
    std::vector<unsigned char> file;
  } cases[] = {
      {"empty", {}},
      {"not a picture", {text.begin(), text.end()}},
      {"only the header", {good.begin(), good.begin() + 200}},
      {"cut in the middle of the scan", {good.begin(), good.begin() + good.size() / 2}},
      {"a GIF", Bytes(EmbeddedDonationGif())},
  };
  ParentWindow parent;
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeJpegBitmap(c.file), nullptr) << c.name;
    EXPECT_EQ(CreateLogoPicture(parent.Handle(), c.file), nullptr) << c.name;
    EXPECT_EQ(GetWindow(parent.Handle(), GW_CHILD), nullptr) << c.name;
  }
}

TEST(Logo, IsAClickablePictureControlWithTheMakersHost) {
  ParentWindow parent;
  HWND logo = CreateLogoPicture(parent.Handle());
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(GetParent(logo), parent.Handle());
  EXPECT_EQ(GetDlgCtrlID(logo), static_cast<int>(ControlId::LogoPicture));
  const LONG style = GetWindowLongW(logo, GWL_STYLE);
  EXPECT_EQ(style & SS_TYPEMASK, SS_BITMAP);
  EXPECT_TRUE(style & SS_NOTIFY);  // without it no click reaches the window
  const SIZE logical = PictureLogicalSize(logo);
  EXPECT_EQ(logical.cx, 200);
  EXPECT_EQ(logical.cy, 47);
  const RECT rect = testing::ChildRect(logo);
  const UINT dpi = GetDpiForWindow(parent.Handle());
  EXPECT_EQ(rect.right - rect.left, MulDiv(200, static_cast<int>(dpi), 96));
  EXPECT_EQ(rect.bottom - rect.top, MulDiv(47, static_cast<int>(dpi), 96));
  auto* shown = reinterpret_cast<HBITMAP>(SendMessageW(logo, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(shown, nullptr);
  EXPECT_NEAR(static_cast<int>(PixelRgb(shown, 6, 40) & 0xFF), 107, 12);
  // And it is drawn: the navy emblem on the screen.
  ShowWindow(parent.Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(parent.Handle());
  HDC dc = GetDC(logo);
  const COLORREF drawn = GetPixel(dc, MulDiv(6, static_cast<int>(dpi), 96), MulDiv(40, static_cast<int>(dpi), 96));
  ReleaseDC(logo, dc);
  EXPECT_NEAR(GetRValue(drawn), 26, 16);
  EXPECT_NEAR(GetBValue(drawn), 107, 16);
  const std::wstring address = MakerPageAddress();
  ASSERT_EQ(address.rfind(L"https://", 0), 0u);
  EXPECT_EQ(testing::TooltipOf(logo), address.substr(8, address.find(L'/', 8) - 8));
}

TEST(DonationPicture, DecodesThroughTheSystemsPictureLoading) {
  const COLORREF background = RGB(1, 2, 3);
  HBITMAP picture = DecodeGifBitmap(EmbeddedDonationGif(), background);
  ASSERT_NE(picture, nullptr);
  const SIZE size = BitmapSize(picture);
  EXPECT_EQ(size.cx, 98);
  EXPECT_EQ(size.cy, 26);
  EXPECT_EQ(PixelRgb(picture, 3, 3), 0xFFC439u);   // the golden fill
  EXPECT_EQ(PixelRgb(picture, 0, 0), 0xFFFFFFu);   // the white corner
  DeleteObject(picture);
  const std::string header = "GIF89a";
  EXPECT_EQ(DecodeGifBitmap(std::vector<unsigned char>(header.begin(), header.end()), background), nullptr);
  EXPECT_EQ(DecodeGifBitmap(EmbeddedLogoJpeg(), background), nullptr);
}

}  // namespace
}  // namespace varnetik::win32
