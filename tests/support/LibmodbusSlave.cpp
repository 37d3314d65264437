#include "tests/support/LibmodbusSlave.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace varnetik::testing {
namespace {

void Require(bool ok, const char* what) {
  if (ok) return;
  std::perror(what);
  std::abort();
}

}  // namespace

LibmodbusSlave::LibmodbusSlave(Link link, int slaveId, int registerCount, int serialLines)
    : link_(link), registerCount_(registerCount) {
  Require(pipe2(stopPipe_, O_CLOEXEC) == 0, "pipe2");
  mapping_ = modbus_mapping_new(0, 0, registerCount, registerCount);
  Require(mapping_ != nullptr, "modbus_mapping_new");
  if (link_ == Link::Rtu) {
    for (int line = 0; line < serialLines; ++line) lines_.push_back(std::make_unique<PtyPair>());
    // libmodbus only frames and judges here; the bytes go through the master sides handed to it.
    context_ = modbus_new_rtu(lines_.front()->Path().c_str(), 9600, 'N', 8, 1);
    Require(context_ != nullptr, "modbus_new_rtu");
    modbus_set_slave(context_, slaveId);
  } else {
    OpenTcpListener();
    context_ = modbus_new_tcp("127.0.0.1", tcpPort_);
    Require(context_ != nullptr, "modbus_new_tcp");
  }
  thread_ = std::thread([this] { Serve(); });
}

LibmodbusSlave::~LibmodbusSlave() {
  [[maybe_unused]] ssize_t ignored = write(stopPipe_[1], "x", 1);
  thread_.join();
  modbus_free(context_);
  modbus_mapping_free(mapping_);
  for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void LibmodbusSlave::SetHolding(uint16_t start, const std::vector<uint16_t>& values) {
  Store(mapping_->tab_registers, start, values);
}

std::vector<uint16_t> LibmodbusSlave::Holding(uint16_t start, size_t count) const {
  return Load(mapping_->tab_registers, start, count);
}

void LibmodbusSlave::SetInput(uint16_t start, const std::vector<uint16_t>& values) {
  Store(mapping_->tab_input_registers, start, values);
}

std::vector<uint16_t> LibmodbusSlave::Input(uint16_t start, size_t count) const {
  return Load(mapping_->tab_input_registers, start, count);
}

void LibmodbusSlave::Store(uint16_t* table, uint16_t start, const std::vector<uint16_t>& values) {
  std::lock_guard lock(mutex_);
  const auto size = static_cast<size_t>(registerCount_);
  for (size_t k = 0; k < values.size(); ++k) table[(start + k) % size] = values[k];
}

std::vector<uint16_t> LibmodbusSlave::Load(const uint16_t* table, uint16_t start, size_t count) const {
  std::lock_guard lock(mutex_);
  std::vector<uint16_t> values;
  const auto size = static_cast<size_t>(registerCount_);
  for (size_t k = 0; k < count; ++k) values.push_back(table[(start + k) % size]);
  return values;
}

void LibmodbusSlave::OpenTcpListener() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  Require(listenFd_ >= 0, "socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Require(bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
  // The throughput benchmark connects many clients at once.
  Require(listen(listenFd_, 64) == 0, "listen");
  socklen_t size = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
  tcpPort_ = ntohs(address.sin_port);
}

bool LibmodbusSlave::AnswerOne(int fd) {
  modbus_set_socket(context_, fd);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  const int length = modbus_receive(context_, query);
  if (length > 0) {
    std::lock_guard lock(mutex_);
    modbus_reply(context_, query, length, mapping_);
  }
  return length >= 0 || link_ == Link::Rtu;
}

void LibmodbusSlave::Serve() {
  // Entry 0 is the stop pipe; then the listener (TCP) and the connections, or the serial lines.
  std::vector<pollfd> watched{{stopPipe_[0], POLLIN, 0}};
  if (listenFd_ >= 0) watched.push_back({listenFd_, POLLIN, 0});
  for (const auto& line : lines_) watched.push_back({line->MasterFd(), POLLIN, 0});
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
  // The serial lines belong to their pairs; the connections are closed here.
  if (link_ == Link::Tcp) {
    for (size_t k = 2; k < watched.size(); ++k) {
      if (watched[k].fd >= 0) close(watched[k].fd);
    }
  }
}

}  // namespace varnetik::testing
