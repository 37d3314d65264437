// An independent Modbus TCP slave for the tests: libmodbus serving one connection on 127.0.0.1.
#pragma once

#include <arpa/inet.h>
#include <modbus.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <thread>

namespace varnetik::testing {

class LibmodbusTcpSlave {
 public:
  static constexpr int kRegisters = 200;

  LibmodbusTcpSlave()
      : context_(modbus_new_tcp("127.0.0.1", 0)), mapping_(modbus_mapping_new(0, 0, kRegisters, kRegisters)) {
    for (int i = 0; i < kRegisters; ++i) {
      mapping_->tab_registers[i] = static_cast<uint16_t>(0x1000 + i);
      mapping_->tab_input_registers[i] = static_cast<uint16_t>(0x2000 + i);
    }
    // Port 0 lets the system choose; the listening socket tells which one it chose.
    listener_ = modbus_tcp_listen(context_, 1);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    server_ = std::thread([this] { Serve(); });
  }

  // The client must have closed its connection by now, or never have made one.
  ~LibmodbusTcpSlave() {
    ::shutdown(listener_, SHUT_RDWR);  // wakes an accept still waiting
    server_.join();
    ::close(listener_);
    modbus_close(context_);
    modbus_free(context_);
    modbus_mapping_free(mapping_);
  }

  uint16_t Port() const { return port_; }

  uint16_t HoldingRegister(int address) {
    std::lock_guard<std::mutex> lock(mutex_);
    return mapping_->tab_registers[address];
  }

 private:
  void Serve() {
    int socket = listener_;
    if (modbus_tcp_accept(context_, &socket) < 0) return;
    uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
      const int length = modbus_receive(context_, request);
      if (length < 0) return;  // the client has gone
      if (length == 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      modbus_reply(context_, request, length, mapping_);
    }
  }

  modbus_t* context_;
  modbus_mapping_t* mapping_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::thread server_;
};

}  // namespace varnetik::testing
