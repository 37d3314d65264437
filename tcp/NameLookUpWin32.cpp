#include "tcp/NameLookUp.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace varnetik {

namespace {

// Empty when text is not valid UTF-8, so that a broken name is never looked up as some other name.
std::wstring Utf16(const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

// getaddrinfo would read the UTF-8 text in the ANSI code page and look up another name than the one
// typed whenever it holds a character outside ASCII; the wide form takes it as it is.
bool LookUpIpv4Name(const std::string& host, Ipv4Address& address) {
  const std::wstring name = Utf16(host);
  if (name.empty()) return false;
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* answer = nullptr;
  if (::GetAddrInfoW(name.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) return false;
  address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
  ::FreeAddrInfoW(answer);
  return true;
}

}  // namespace varnetik
