// The name look-up under ResolveIpv4: getaddrinfo on POSIX (NameLookUp.cpp), its wide form GetAddrInfoW
// on Windows Sockets, where the layer must already be started (NameLookUpWin32.cpp).
#pragma once

#include <string>

#include "tcp/Socket.h"

namespace varnetik {

// The first IPv4 address the resolver knows for host (UTF-8), in network byte order; false when there is
// none.
bool LookUpIpv4Name(const std::string& host, Ipv4Address& address);

}  // namespace varnetik
