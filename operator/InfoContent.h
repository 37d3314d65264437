// What the info window shows and where, independent of the window toolkit: its fixed size, the text
// block and the place of the donation picture, in 96-dpi logical pixels.
#pragma once

#include <string>
#include <string_view>

namespace varnetik {

inline constexpr int kInfoWindowWidth = 200;
inline constexpr int kInfoWindowHeight = 160;
inline constexpr char kInfoWindowTitle[] = "Info";
inline constexpr char kVersionText[] = "V 1.0.1";
inline constexpr char kDonationTooltip[] = "Danke!";

// Child ids of the info window's two controls.
inline constexpr int kDonationPictureId = 2100;
inline constexpr int kInfoTextId = 2101;

struct InfoRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const InfoRect&) const = default;
};

// Top edge of the text block: the text (80), a gap (12), the picture (pictureHeight), and room below
// (14 + 28), centred vertically and capped to the window less 16 at top and bottom.
int InfoContentTop(int pictureHeight);
// The text block, above the donation picture of the given height (0 without a picture).
InfoRect InfoTextRect(int pictureHeight);
// Where the donation picture of the given size sits: centred, 12 below the text.
InfoRect DonationPictureRect(int pictureWidth, int pictureHeight);

// The five lines of the text block (the fourth empty), joined by lineBreak.
std::string InfoText(std::string_view makerHost, std::string_view lineBreak);

// The host name of a web address such as "https://host:443/path" ("host"), shown as the maker's name.
std::string_view WebAddressHost(std::string_view address);

}  // namespace varnetik
