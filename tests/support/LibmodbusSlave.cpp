#include "tests/support/LibmodbusSlave.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

LibmodbusSlave::LibmodbusSlave(Link link, int slaveId, int registerCount)
    : link_(link), registerCount_(registerCount) {
  Require(pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) == 0, "pipe2");
  mapping_ = modbus_mapping_new(0, 0, registerCount, registerCount);
  Require(mapping_ != nullptr, "modbus_mapping_new");
  if (link_ == Link::Rtu) {
    // libmodbus only frames and judges here; the bytes go through the pseudo-terminal's master side.
    context_ = modbus_new_rtu(pty_.Path().c_str(), 9600, 'N', 8, 1);
    Require(context_ != nullptr, "modbus_new_rtu");
    modbus_set_slave(context_, slaveId);
    modbus_set_socket(context_, pty_.MasterFd());
    thread_ = std::thread([this] { ServeSerial(); });
    return;
  }
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  Require(listenFd_ >= 0, "socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Require(bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
  Require(listen(listenFd_, 4) == 0, "listen");
  socklen_t size = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
  tcpPort_ = ntohs(address.sin_port);
  context_ = modbus_new_tcp("127.0.0.1", tcpPort_);
  Require(context_ != nullptr, "modbus_new_tcp");
  thread_ = std::thread([this] { ServeTcp(); });
}

LibmodbusSlave::~LibmodbusSlave() {
  [[maybe_unused]] ssize_t ignored = write(wakePipe_[1], "x", 1);
  thread_.join();
  modbus_free(context_);
  modbus_mapping_free(mapping_);
  if (listenFd_ >= 0) close(listenFd_);
  close(wakePipe_[0]);
  close(wakePipe_[1]);
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

bool LibmodbusSlave::WaitReadable(int fd) const {
  pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
  while (poll(fds, 2, -1) < 0) {
  }
  return fds[0].revents == 0;
}

void LibmodbusSlave::AnswerOne(int fd) {
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  int length = modbus_receive(context_, query);
  if (length > 0) {
    std::lock_guard lock(mutex_);
    modbus_reply(context_, query, length, mapping_);
  } else if (length < 0 && link_ == Link::Tcp) {
    close(fd);
    modbus_set_socket(context_, -1);
  }
}

void LibmodbusSlave::ServeSerial() {
  while (WaitReadable(pty_.MasterFd())) AnswerOne(pty_.MasterFd());
}

void LibmodbusSlave::ServeTcp() {
  while (WaitReadable(listenFd_)) {
    int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    modbus_set_socket(context_, client);
    while (modbus_get_socket(context_) == client) {
      if (!WaitReadable(client)) {
        close(client);
        return;
      }
      AnswerOne(client);
    }
  }
}

}  // namespace varnetik::testing
