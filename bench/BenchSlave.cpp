#include "bench/BenchSlave.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace varnetik::bench {

namespace {

void Require(bool ok, const char* what) {
  if (ok) return;
  std::perror(what);
  std::exit(2);
}

}  // namespace

BenchSlave::BenchSlave(Link link, int serialLines) : link_(link) {
  Require(pipe2(stopPipe_, O_CLOEXEC) == 0, "pipe2");
  mapping_ = modbus_mapping_new(0, 0, 65536, 0);
  Require(mapping_ != nullptr, "modbus_mapping_new");
  if (link_ == Link::Rtu) {
    for (int line = 0; line < serialLines; ++line) OpenSerialLine();
    // libmodbus frames and judges; the bytes go through the master side handed to it.
    context_ = modbus_new_rtu(lines_.front().path.c_str(), 115200, 'N', 8, 1);
    Require(context_ != nullptr, "modbus_new_rtu");
    modbus_set_slave(context_, 1);
  } else {
    OpenTcpListener();
    context_ = modbus_new_tcp("127.0.0.1", tcpPort_);
    Require(context_ != nullptr, "modbus_new_tcp");
  }
  thread_ = std::thread([this] { Serve(); });
}

BenchSlave::~BenchSlave() {
  [[maybe_unused]] ssize_t ignored = write(stopPipe_[1], "x", 1);
  thread_.join();
  modbus_free(context_);
  modbus_mapping_free(mapping_);
  for (const SerialLine& line : lines_) {
    close(line.master);
    close(line.terminal);
  }
  for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void BenchSlave::OpenSerialLine() {
  SerialLine line;
  char name[128] = {};
  Require(openpty(&line.master, &line.terminal, name, nullptr, nullptr) == 0, "openpty");
  line.path = name;
  termios raw{};
  tcgetattr(line.terminal, &raw);
  cfmakeraw(&raw);
  tcsetattr(line.terminal, TCSANOW, &raw);
  fcntl(line.master, F_SETFD, FD_CLOEXEC);
  fcntl(line.terminal, F_SETFD, FD_CLOEXEC);
  lines_.push_back(line);
}

void BenchSlave::OpenTcpListener() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  Require(listenFd_ >= 0, "socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Require(bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
  Require(listen(listenFd_, 64) == 0, "listen");
  socklen_t size = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
  tcpPort_ = ntohs(address.sin_port);
}

bool BenchSlave::AnswerOne(int fd) {
  modbus_set_socket(context_, fd);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  const int length = modbus_receive(context_, query);
  if (length > 0) modbus_reply(context_, query, length, mapping_);
  return length >= 0 || link_ == Link::Rtu;
}

void BenchSlave::Serve() {
  // Entry 0 is the stop pipe; then the listener (TCP) and the connections or serial lines.
  std::vector<pollfd> watched{{stopPipe_[0], POLLIN, 0}};
  if (listenFd_ >= 0) watched.push_back({listenFd_, POLLIN, 0});
  for (const SerialLine& line : lines_) watched.push_back({line.master, POLLIN, 0});
  for (;;) {
    if (poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents != 0) break;
    for (size_t k = 1; k < watched.size(); ++k) {
      if (watched[k].revents == 0) continue;
      if (watched[k].fd == listenFd_) {
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) watched.push_back({client, POLLIN, 0});
      } else if (!AnswerOne(watched[k].fd)) {
        close(watched[k].fd);
        watched[k].fd = -1;  // poll skips it from now on
      }
      watched[k].revents = 0;
    }
  }
  for (size_t k = 1; k < watched.size(); ++k) {
    if (link_ == Link::Tcp && watched[k].fd >= 0 && watched[k].fd != listenFd_) close(watched[k].fd);
  }
}

}  // namespace varnetik::bench
