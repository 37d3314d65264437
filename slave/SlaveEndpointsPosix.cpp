#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/TermiosLine.h"
#include "slave/SlaveEndpoints.h"

namespace varnetik::slave {

namespace {

constexpr int kListenBacklog = 64;

}  // namespace

bool IsIpv4Address(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool BaudRateUsable(int64_t baudRate) {
  speed_t speed{};
  return TermiosSpeedForBaud(baudRate, speed);
}

Handle OpenListener(const SlaveOptions& options, uint16_t& boundPort, std::string& error) {
  const std::string where = options.listenHost + ":" + std::to_string(options.listenPort);
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  // A slave restarted at once must get its port back although old connections linger in TIME_WAIT.
  int on = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options.listenPort);
  inet_pton(AF_INET, options.listenHost.c_str(), &address.sin_addr);
  socklen_t size = sizeof address;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, kListenBacklog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    const int cause = errno;
    error = "cannot listen on " + where + ": " + std::strerror(cause);
    if (cause == EACCES && options.listenPort != 0 && options.listenPort < 1024) {
      error += "; ports below 1024 are for the administrator: use a port of 1024 or more, e.g. 1502";
    }
    if (fd >= 0) close(fd);
    return kNoHandle;
  }
  boundPort = ntohs(address.sin_port);
  return fd;
}

}  // namespace varnetik::slave
