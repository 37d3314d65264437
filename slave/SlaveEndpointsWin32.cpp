#include <winsock2.h>
#include <ws2tcpip.h>

#include "slave/SlaveEndpoints.h"

namespace varnetik::slave {

namespace {

constexpr int kListenBacklog = 64;

}  // namespace

bool IsIpv4Address(const std::string& text) {
  in_addr address{};
  return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// The driver says at open which rates it takes.
bool BaudRateUsable(int64_t /*baudRate*/) { return true; }

// No SO_REUSEADDR, and SO_EXCLUSIVEADDRUSE: without it another program could bind the same address
// with SO_REUSEADDR and take the connections meant for the slave. Connections in TIME_WAIT do not keep
// a new listener from binding here.
Handle OpenListener(const SlaveOptions& options, uint16_t& boundPort, std::string& error) {
  const std::string where = options.listenHost + ":" + std::to_string(options.listenPort);
  if (!StartSockets()) {
    error = "cannot listen on " + where + ": Windows Sockets did not start";
    return kNoHandle;
  }
  const SOCKET listener = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options.listenPort);
  ::inet_pton(AF_INET, options.listenHost.c_str(), &address.sin_addr);
  int size = sizeof address;
  u_long nonBlocking = 1;
  const BOOL exclusive = TRUE;
  if (listener == INVALID_SOCKET || ::ioctlsocket(listener, FIONBIO, &nonBlocking) != 0 ||
      ::setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                   sizeof exclusive) != 0 ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, kListenBacklog) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    error = "cannot listen on " + where + ": " + SystemErrorText();
    if (listener != INVALID_SOCKET) ::closesocket(listener);
    return kNoHandle;
  }
  boundPort = ntohs(address.sin_port);
  return static_cast<Handle>(listener);
}

}  // namespace varnetik::slave
