#include "tcp/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "modbus/MonotonicClock.h"
#include "modbus/WaitHook.h"
#include "tcp/NameLookUp.h"

namespace varnetik {

namespace {

bool SetBlocking(int socketFd, bool blocking) {
  int flags = ::fcntl(socketFd, F_GETFL);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return ::fcntl(socketFd, F_SETFL, flags) == 0;
}

bool StartConnect(int socketFd, Ipv4Address address, uint16_t port) {
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(port);
  destination.sin_addr.s_addr = address;
  if (::connect(socketFd, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) == 0) {
    return true;
  }
  // An interrupted non-blocking connect goes on in the background like one under way.
  return errno == EINPROGRESS || errno == EINTR;
}

// One wait for completion (in slices while a wait hook is set); a signal only shortens it, never extends
// the limit.
bool WaitConnected(int socketFd, int64_t timeoutMs) {
  const int64_t deadline = MonotonicMs() + std::max<int64_t>(timeoutMs, 0);
  pollfd watch{socketFd, POLLOUT, 0};
  int ready;
  for (;;) {
    const int64_t left = deadline - MonotonicMs();
    ready = ::poll(&watch, 1, static_cast<int>(std::clamp<int64_t>(WaitSliceMs(left), 0, INT_MAX)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready != 0 || left <= 0 || !ServeWaitHook()) break;
  }
  if (ready != 1 || (watch.revents & POLLOUT) == 0) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return ::getsockopt(socketFd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

}  // namespace

bool StartSocketLayer() { return true; }

bool ResolveIpv4(const std::string& host, Ipv4Address& address) {
  // A text with a NUL inside would be read only up to it: not the host the operator typed.
  if (host.empty() || host.find('\0') != std::string::npos) return false;
  in_addr dotted{};
  if (::inet_aton(host.c_str(), &dotted) != 0) {
    address = dotted.s_addr;
  } else if (!LookUpIpv4Name(host, address)) {
    return false;
  }
  return address != INADDR_NONE;
}

SocketHandle ConnectIpv4(Ipv4Address address, uint16_t port, int64_t timeoutMs) {
  const int socketFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socketFd < 0) return kNoSocket;
  if (!SetBlocking(socketFd, false)) {
    CloseSocket(socketFd);
    return kNoSocket;
  }
  bool connected = StartConnect(socketFd, address, port) && WaitConnected(socketFd, timeoutMs);
  if (!SetBlocking(socketFd, true)) connected = false;
  if (!connected) {
    CloseSocket(socketFd);
    return kNoSocket;
  }
  return socketFd;
}

int64_t SendAll(SocketHandle socket, const uint8_t* bytes, int64_t count) {
  const int socketFd = static_cast<int>(socket);
  int64_t sent = 0;
  while (sent < count) {
    const ssize_t taken = ::send(socketFd, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
    if (taken > 0) {
      sent += taken;
    } else if (taken < 0 && errno == EINTR) {
      continue;
    } else {
      return -1;
    }
  }
  return sent;
}

ReceiveOutcome ReceiveNow(SocketHandle socket, uint8_t* destination, int64_t count, int64_t& received) {
  const ssize_t got = ::recv(static_cast<int>(socket), destination, static_cast<size_t>(count), MSG_DONTWAIT);
  if (got > 0) {
    received = got;
    return ReceiveOutcome::Bytes;
  }
  if (got == 0) return ReceiveOutcome::PeerClosed;
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReceiveOutcome::NothingThere;
  return ReceiveOutcome::Error;
}

void WaitReadable(SocketHandle socket, int timeoutMs) {
  pollfd watch{static_cast<int>(socket), POLLIN, 0};
  ::poll(&watch, 1, timeoutMs);
}

void CloseSocket(SocketHandle socket) {
  // Linux releases the descriptor even when close reports EINTR, so it is never retried.
  ::close(static_cast<int>(socket));
}

}  // namespace varnetik
