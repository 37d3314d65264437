#include "slave/SlaveEndpoints.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>


namespace varnetik::slave {

namespace {

constexpr int kListenBacklog = 64;

int64_t ParityCode(char parity) {
  if (parity == 'O') return kParityOdd;
  if (parity == 'E') return kParityEven;
  return kParityNone;
}

}  // namespace

bool OpenSerialDevice(const SlaveOptions& options, SerialPort& port, std::string& error) {
  LineSettings line;
  line.baudRate = options.baudRate;
  line.parity = ParityCode(options.parity);
  line.dataBits = options.dataBits;
  line.stopBits = static_cast<float>(options.stopBits);
  errno = 0;
  if (port.Open(options.port, line, 4096, 4096)) return true;
  const int cause = errno;
  error = "cannot open " + options.port + ": ";
  if (cause == EWOULDBLOCK || cause == EBUSY) {
    error += "it is in use by another program";
  } else if (cause != 0) {
    error += std::strerror(cause);
  } else {
    error += "the line settings are not accepted";
  }
  return false;
}

int OpenListener(const SlaveOptions& options, uint16_t& boundPort, std::string& error) {
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
    error = "cannot listen on " + where + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  boundPort = ntohs(address.sin_port);
  return fd;
}

}  // namespace varnetik::slave
