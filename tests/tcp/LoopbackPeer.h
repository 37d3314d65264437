// The server side of the TCP tests: sockets on 127.0.0.1 with ephemeral ports, nothing else.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <vector>

#include "tcp/Socket.h"
#include "tests/support/UnderWine.h"

namespace varnetik::testing {

// The few calls in which Windows Sockets and POSIX differ.
#ifdef _WIN32
using NativeSocket = SOCKET;
using PollEntry = WSAPOLLFD;
inline int PollSockets(PollEntry* entries, int ms) { return ::WSAPoll(entries, 1, ms); }
inline void CloseNative(SocketHandle socket) { ::closesocket(static_cast<SOCKET>(socket)); }
inline SocketHandle AcceptNative(SocketHandle socket) {
  return static_cast<SocketHandle>(::accept(static_cast<SOCKET>(socket), nullptr, nullptr));
}
inline constexpr int kCloseOnExec = 0;
inline constexpr int kNoSigpipe = 0;
#else
using NativeSocket = int;
using PollEntry = pollfd;
inline int PollSockets(PollEntry* entries, int ms) { return ::poll(entries, 1, ms); }
inline void CloseNative(SocketHandle socket) { ::close(static_cast<int>(socket)); }
inline SocketHandle AcceptNative(SocketHandle socket) {
  return ::accept4(static_cast<int>(socket), nullptr, nullptr, SOCK_CLOEXEC);
}
inline constexpr int kCloseOnExec = SOCK_CLOEXEC;
inline constexpr int kNoSigpipe = MSG_NOSIGNAL;
#endif

inline NativeSocket Native(SocketHandle socket) { return static_cast<NativeSocket>(socket); }

// Owns one socket.
class ScopedFd {
 public:
  explicit ScopedFd(SocketHandle fd = kNoSocket) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() { Close(); }
  SocketHandle Get() const { return fd_; }
  void Reset(SocketHandle fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ != kNoSocket) CloseNative(fd_);
    fd_ = kNoSocket;
  }

 private:
  SocketHandle fd_;
};

// A socket bound to 127.0.0.1 on a port of the system's choosing. Listening, it accepts our link;
// not listening, it keeps the port taken so that every connect to it is refused.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening)
      : socket_(StartSocketLayer() ? static_cast<SocketHandle>(::socket(AF_INET, SOCK_STREAM | kCloseOnExec, 0))
                                   : kNoSocket) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(Native(socket_.Get()), reinterpret_cast<sockaddr*>(&address), length);
    if (listening) ::listen(Native(socket_.Get()), 4);
    ::getsockname(Native(socket_.Get()), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  uint16_t Port() const { return port_; }

  // The next connection already made by the link; kNoSocket if none arrives within 5 s.
  SocketHandle Accept() const {
    PollEntry watch{Native(socket_.Get()), POLLIN, 0};
    if (PollSockets(&watch, 5000) != 1) return kNoSocket;
    return AcceptNative(socket_.Get());
  }

 private:
  ScopedFd socket_;
  uint16_t port_ = 0;
};

inline void SendBytes(SocketHandle fd, const std::vector<uint8_t>& bytes) {
  ::send(Native(fd), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), kNoSigpipe);
}

// Closing with a zero linger time sends a reset instead of an orderly close.
inline void ResetConnection(ScopedFd& peer) {
  linger abort{1, 0};
  ::setsockopt(Native(peer.Get()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
  peer.Close();
}

// True when the other side has closed the connection: a read ends with no bytes within 2 s.
inline bool SeesOrderlyClose(SocketHandle fd) {
  PollEntry watch{Native(fd), POLLIN, 0};
  char byte = 0;
  return PollSockets(&watch, 2000) == 1 && ::recv(Native(fd), &byte, 1, 0) == 0;
}

// Wine 8's server takes a reset connection's pending error before the program's receive sees it, so
// under Wine a reset reads as an orderly close; Windows itself reports WSAECONNRESET.
inline bool ResetReadsAsOrderlyClose() { return RunsUnderWine(); }

template <typename Action>
int64_t MillisecondsTaken(Action&& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace varnetik::testing
