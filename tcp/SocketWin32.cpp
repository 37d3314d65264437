#include "tcp/Socket.h"

#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <timeapi.h>

#include <algorithm>
#include <climits>

#include "tcp/NameLookUp.h"

namespace varnetik {

namespace {

SOCKET AsSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// Windows Sockets work only between WSAStartup and WSACleanup. The layer is started by the first user
// and shut down when the process ends, after every link has closed its socket.
class SocketLayer {
 public:
  SocketLayer() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    // The receive loop waits in steps of 1 ms; at the default timer resolution such a wait lasts about
    // 15 ms. The finer resolution is asked for once and kept for the whole run.
    ::timeBeginPeriod(1);
  }
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;
  ~SocketLayer() {
    if (started_) ::WSACleanup();
  }
  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

bool SetBlocking(SOCKET socket, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ::ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

// Windows answers a reset to its SYN by sending the SYN again, several times, so a refused connect takes
// 1 to 2 s to fail, close to the connect limit, where other systems fail at once. Without SYN
// retransmissions the first reset ends the attempt. The price: a SYN lost on the way is not sent again
// either, so over a lossy network a connect can fail where a resend might have reached the device, and
// the operator connects again. A system that does not know the option (before Windows 8) keeps its own
// rule.
void FailAtTheFirstReset(SOCKET socket) {
  TCP_INITIAL_RTO_PARAMETERS parameters{TCP_INITIAL_RTO_UNSPECIFIED_RTT, TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS};
  DWORD returned = 0;
  ::WSAIoctl(socket, SIO_TCP_INITIAL_RTO, &parameters, sizeof parameters, nullptr, 0, &returned, nullptr, nullptr);
}

bool StartConnect(SOCKET socket, Ipv4Address address, uint16_t port) {
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(port);
  destination.sin_addr.s_addr = address;
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) == 0) {
    return true;
  }
  return ::WSAGetLastError() == WSAEWOULDBLOCK;
}

timeval Timeval(int64_t ms) {
  const int64_t bounded = std::clamp<int64_t>(ms, 0, INT_MAX);
  return timeval{static_cast<long>(bounded / 1000), static_cast<long>(bounded % 1000 * 1000)};
}

// One wait for completion: Windows reports a finished connect in the write set, a failed one in the
// exception set. Only this socket, writable, counts.
bool WaitConnected(SOCKET socket, int64_t timeoutMs) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval limit = Timeval(timeoutMs);  // mingw declares the pointer non-const
  if (::select(0, nullptr, &writable, &failed, &limit) != 1 || !FD_ISSET(socket, &writable)) return false;
  int error = 0;
  int length = sizeof error;
  return ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
         error == 0;
}

// True when a receive would return at once: bytes, a close or an error are there.
bool Readable(SOCKET socket, int64_t timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval limit = Timeval(timeoutMs);  // mingw declares the pointer non-const
  return ::select(0, &readable, nullptr, nullptr, &limit) == 1;
}

}  // namespace

bool StartSocketLayer() {
  static const SocketLayer layer;
  return layer.Started();
}

bool ResolveIpv4(const std::string& host, Ipv4Address& address) {
  // A text with a NUL inside would be read only up to it: not the host the operator typed.
  if (host.empty() || host.find('\0') != std::string::npos) return false;
  if (!StartSocketLayer()) return false;
  // inet_addr also reads the short forms ("127.1"); its "no address" value is 255.255.255.255 itself.
  address = ::inet_addr(host.c_str());
  if (address == INADDR_NONE && !LookUpIpv4Name(host, address)) return false;
  return address != INADDR_NONE;
}

SocketHandle ConnectIpv4(Ipv4Address address, uint16_t port, int64_t timeoutMs) {
  if (!StartSocketLayer()) return kNoSocket;
  const SOCKET socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET) return kNoSocket;
  if (!SetBlocking(socket, false)) {
    ::closesocket(socket);
    return kNoSocket;
  }
  FailAtTheFirstReset(socket);
  bool connected = StartConnect(socket, address, port) && WaitConnected(socket, timeoutMs);
  if (!SetBlocking(socket, true)) connected = false;
  if (!connected) {
    ::closesocket(socket);
    return kNoSocket;
  }
  return static_cast<SocketHandle>(socket);
}

int64_t SendAll(SocketHandle socket, const uint8_t* bytes, int64_t count) {
  int64_t sent = 0;
  while (sent < count) {
    const int piece = static_cast<int>(std::min<int64_t>(count - sent, INT_MAX));
    const int taken = ::send(AsSocket(socket), reinterpret_cast<const char*>(bytes + sent), piece, 0);
    if (taken <= 0) return -1;
    sent += taken;
  }
  return sent;
}

// Windows has no per-call "don't wait" flag: a readiness test with a zero wait comes first, and a
// receive on a readable socket returns at once with what is there.
ReceiveOutcome ReceiveNow(SocketHandle socket, uint8_t* destination, int64_t count, int64_t& received) {
  if (!Readable(AsSocket(socket), 0)) return ReceiveOutcome::NothingThere;
  const int wanted = static_cast<int>(std::min<int64_t>(count, INT_MAX));
  const int got = ::recv(AsSocket(socket), reinterpret_cast<char*>(destination), wanted, 0);
  if (got > 0) {
    received = got;
    return ReceiveOutcome::Bytes;
  }
  if (got == 0) return ReceiveOutcome::PeerClosed;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? ReceiveOutcome::NothingThere : ReceiveOutcome::Error;
}

void WaitReadable(SocketHandle socket, int timeoutMs) { Readable(AsSocket(socket), timeoutMs); }

void CloseSocket(SocketHandle socket) { ::closesocket(AsSocket(socket)); }

}  // namespace varnetik
