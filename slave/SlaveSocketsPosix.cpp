#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "slave/SlaveSockets.h"

namespace varnetik::slave {

namespace {

int Fd(Handle handle) { return static_cast<int>(handle); }

// Read and write alike: a negative count's errno sorted into what the loop does next.
IoStatus StatusOf(ssize_t n, size_t& count) {
  if (n > 0) {
    count = static_cast<size_t>(n);
    return IoStatus::Moved;
  }
  if (n == 0) return IoStatus::Ended;
  return errno == EAGAIN || errno == EWOULDBLOCK ? IoStatus::WouldBlock : IoStatus::Failed;
}

}  // namespace

bool StartSockets() { return true; }

bool WaitForAny(std::vector<WaitEntry>& entries, int timeoutMs) {
  // Kept between turns: the loop waits thousands of times a second under load.
  static thread_local std::vector<pollfd> fds;
  fds.clear();
  for (const WaitEntry& entry : entries) {
    fds.push_back({Fd(entry.handle), static_cast<short>(entry.wantWrite ? POLLIN | POLLOUT : POLLIN), 0});
  }
  if (poll(fds.data(), fds.size(), timeoutMs) < 0) return errno == EINTR;
  for (size_t i = 0; i < fds.size(); ++i) {
    entries[i].readable = (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    entries[i].writable = (fds[i].revents & POLLOUT) != 0;
  }
  return true;
}

IoStatus ReadSome(Handle handle, bool /*line*/, uint8_t* destination, size_t size, size_t& count) {
  ssize_t n;
  do {
    n = read(Fd(handle), destination, size);
  } while (n < 0 && errno == EINTR);
  return StatusOf(n, count);
}

IoStatus WriteSome(Handle handle, bool line, const uint8_t* source, size_t size, size_t& count) {
  ssize_t n;
  do {
    n = line ? write(Fd(handle), source, size) : send(Fd(handle), source, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  // Nothing written is a failure here, not an end.
  return n == 0 ? IoStatus::Failed : StatusOf(n, count);
}

Handle AcceptClient(Handle listener, bool& outOfHandles) {
  const int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  // The client stays queued: the listener keeps telling that it is readable until it is taken.
  outOfHandles = fd < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM);
  return fd < 0 ? kNoHandle : fd;
}

std::string PeerText(Handle socket) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0 || address.sin_family != AF_INET) {
    return "connected";
  }
  char host[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
  return std::string("connected from ") + host + ":" + std::to_string(ntohs(address.sin_port));
}

void CloseSocket(Handle socket, bool reset) {
  if (reset) {
    linger abort{1, 0};
    setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  close(Fd(socket));
}

std::string SystemErrorText() { return std::strerror(errno); }

}  // namespace varnetik::slave
