// The two web pages of the program, opened in the operator's default browser through the shell.
#pragma once

#include <functional>
#include <string>

namespace varnetik::win32 {

// Asks the shell to "open" the address (ShellExecuteW, no parameters, normal window). Its result is not
// looked at: a page that cannot be opened is not reported, and the browser is not waited for.
void OpenWebPage(const std::wstring& address);

// The maker's web site (the logo) and the donation page (the donation picture), fixed at build time.
std::wstring MakerPageAddress();
std::wstring DonationPageAddress();

// Tests put a recorder in place of the shell so that no browser starts; an empty function puts the
// shell back. Returns the opener that was in place.
using WebPageOpener = std::function<void(const std::wstring& address)>;
WebPageOpener ReplaceWebPageOpener(WebPageOpener opener);

}  // namespace varnetik::win32
