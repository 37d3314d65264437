// The names assistive technology reads for the two pictures that open web pages: a picture has no text
// of its own, so its name says what it opens.
#pragma once

namespace varnetik {

inline constexpr char kLogoPictureName[] = "Logo – Webseite des Herstellers öffnen";
inline constexpr char kDonationPictureName[] = "Spendenbild – Spendenseite öffnen";

}  // namespace varnetik
