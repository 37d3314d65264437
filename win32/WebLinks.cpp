#include "win32/WebLinks.h"

#include <windows.h>

#include <shellapi.h>

#include <utility>

#include "operator/WebAddresses.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {

WebPageOpener& ReplacedOpener() {
  static WebPageOpener opener;
  return opener;
}

}  // namespace

void OpenWebPage(const std::wstring& address) {
  if (const WebPageOpener& opener = ReplacedOpener()) {
    opener(address);
    return;
  }
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring MakerPageAddress() { return Wide(kMakerPageAddress); }
std::wstring DonationPageAddress() { return Wide(kDonationPageAddress); }

WebPageOpener ReplaceWebPageOpener(WebPageOpener opener) { return std::exchange(ReplacedOpener(), std::move(opener)); }

}  // namespace varnetik::win32
