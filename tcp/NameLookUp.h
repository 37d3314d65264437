// The name look-up under ResolveIpv4, alike on both socket layers: getaddrinfo has the same form on POSIX
// and on Windows Sockets (where the layer must already be started).
#pragma once

#include <string>

#include "tcp/Socket.h"

namespace varnetik {

// The first IPv4 address the resolver knows for host, in network byte order; false when there is none.
bool LookUpIpv4Name(const std::string& host, Ipv4Address& address);

}  // namespace varnetik
