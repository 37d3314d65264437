#include "tcp/NameLookUp.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace varnetik {

bool LookUpIpv4Name(const std::string& host, Ipv4Address& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) return false;
  address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(answer);
  return true;
}

}  // namespace varnetik
