#include "operator/InfoContent.h"

#include <algorithm>

namespace varnetik {

namespace {

constexpr int kMargin = 16;
constexpr int kTextWidth = 168;
constexpr int kTextHeight = 80;
constexpr int kGapBelowText = 12;

}  // namespace

int InfoContentTop(int pictureHeight) {
  const int content = std::min(kTextHeight + kGapBelowText + pictureHeight + 14 + 28, kInfoWindowHeight - 2 * kMargin);
  return (kInfoWindowHeight - content) / 2;
}

InfoRect InfoTextRect(int pictureHeight) {
  return {kMargin, InfoContentTop(pictureHeight), kTextWidth, kTextHeight};
}

InfoRect DonationPictureRect(int pictureWidth, int pictureHeight) {
  return {(kInfoWindowWidth - pictureWidth) / 2, InfoContentTop(pictureHeight) + kTextHeight + kGapBelowText,
          pictureWidth, pictureHeight};
}

std::string InfoText(std::string_view makerHost, std::string_view lineBreak) {
  std::string text = "Varnetik";
  for (std::string_view line : {std::string_view("© Varnetik-Team"), makerHost, std::string_view(),
                                std::string_view(kVersionText)}) {
    text += lineBreak;
    text += line;
  }
  return text;
}

std::string_view WebAddressHost(std::string_view address) {
  if (const size_t scheme = address.find("://"); scheme != std::string_view::npos) address.remove_prefix(scheme + 3);
  return address.substr(0, address.find_first_of(":/?#"));
}

}  // namespace varnetik
