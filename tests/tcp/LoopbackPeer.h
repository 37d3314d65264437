// The server side of the TCP tests: sockets on 127.0.0.1 with ephemeral ports, nothing else.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace varnetik::testing {

// Owns one descriptor.
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() { Close(); }
  int Get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ != -1) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// A socket bound to 127.0.0.1 on a port of the system's choosing. Listening, it accepts our link;
// not listening, it keeps the port taken so that every connect to it is refused.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening) : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), length);
    if (listening) ::listen(socket_.Get(), 4);
    ::getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  uint16_t Port() const { return port_; }

  // The next connection already made by the link; -1 if none arrives within 5 s.
  int Accept() const {
    pollfd watch{socket_.Get(), POLLIN, 0};
    if (::poll(&watch, 1, 5000) != 1) return -1;
    return ::accept4(socket_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  ScopedFd socket_;
  uint16_t port_ = 0;
};

inline void SendBytes(int fd, const std::vector<uint8_t>& bytes) {
  ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// Closing with a zero linger time sends a reset instead of an orderly close.
inline void ResetConnection(ScopedFd& peer) {
  linger abort{1, 0};
  ::setsockopt(peer.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  peer.Close();
}

// True when the other side has closed the connection: a read ends with no bytes within 2 s.
inline bool SeesOrderlyClose(int fd) {
  pollfd watch{fd, POLLIN, 0};
  uint8_t byte = 0;
  return ::poll(&watch, 1, 2000) == 1 && ::recv(fd, &byte, 1, 0) == 0;
}

template <typename Action>
int64_t MillisecondsTaken(Action&& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace varnetik::testing
