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

BenchSlave::BenchSlave(Link link) : link_(link) {
  Require(pipe2(stopPipe_, O_CLOEXEC) == 0, "pipe2");
  mapping_ = modbus_mapping_new(0, 0, 65536, 0);
  Require(mapping_ != nullptr, "modbus_mapping_new");
  if (link_ == Link::Rtu) {
    char name[128] = {};
    Require(openpty(&ptyMaster_, &ptyTerminal_, name, nullptr, nullptr) == 0, "openpty");
    terminalPath_ = name;
    termios raw{};
    tcgetattr(ptyTerminal_, &raw);
    cfmakeraw(&raw);
    tcsetattr(ptyTerminal_, TCSANOW, &raw);
    fcntl(ptyMaster_, F_SETFD, FD_CLOEXEC);
    fcntl(ptyTerminal_, F_SETFD, FD_CLOEXEC);
    // libmodbus frames and judges; the bytes go through the master side handed to it.
    context_ = modbus_new_rtu(name, 115200, 'N', 8, 1);
    Require(context_ != nullptr, "modbus_new_rtu");
    modbus_set_slave(context_, 1);
  } else {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    Require(listenFd_ >= 0, "socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Require(bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
    Require(listen(listenFd_, 2) == 0, "listen");
    socklen_t size = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
    tcpPort_ = ntohs(address.sin_port);
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
  for (int fd : {ptyMaster_, ptyTerminal_, listenFd_, stopPipe_[0], stopPipe_[1]}) {
    if (fd >= 0) close(fd);
  }
}

uint16_t BenchSlave::Holding(uint16_t address) const { return mapping_->tab_registers[address]; }

bool BenchSlave::WaitReadable(int fd) const {
  pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
  while (poll(fds, 2, -1) < 0 && errno == EINTR) {
  }
  return fds[0].revents == 0;
}

void BenchSlave::ServeConnection(int fd) {
  modbus_set_socket(context_, fd);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  while (WaitReadable(fd)) {
    int length = modbus_receive(context_, query);
    if (length > 0) {
      modbus_reply(context_, query, length, mapping_);
    } else if (length < 0 && link_ == Link::Tcp) {
      return;  // the master closed the connection
    }
  }
}

void BenchSlave::Serve() {
  if (link_ == Link::Rtu) {
    ServeConnection(ptyMaster_);
    return;
  }
  while (WaitReadable(listenFd_)) {
    int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ServeConnection(client);
    close(client);
  }
}

}  // namespace varnetik::bench
