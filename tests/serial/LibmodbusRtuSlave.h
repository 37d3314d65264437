// An independent Modbus RTU slave for the tests: libmodbus serving the master side of a pseudo-terminal
// while the link under test opens the terminal side.
#pragma once

#include <modbus.h>
#include <poll.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace varnetik::testing {

class LibmodbusRtuSlave {
 public:
  static constexpr int kRegisters = 200;

  LibmodbusRtuSlave(int masterFd, int slaveId)
      : masterFd_(masterFd),
        context_(modbus_new_rtu("/dev/null", 9600, 'N', 8, 1)),
        mapping_(modbus_mapping_new(0, 0, kRegisters, kRegisters)) {
    for (int i = 0; i < kRegisters; ++i) {
      mapping_->tab_registers[i] = static_cast<uint16_t>(0x1000 + 3 * i);
      mapping_->tab_input_registers[i] = static_cast<uint16_t>(0xA000 + i);
    }
    modbus_set_slave(context_, slaveId);
    // The master side has no path to open; libmodbus is handed the descriptor instead of connecting.
    modbus_set_socket(context_, masterFd_);
    server_ = std::thread([this] { Serve(); });
  }

  ~LibmodbusRtuSlave() {
    stop_ = true;
    server_.join();
    modbus_free(context_);  // leaves the descriptor to its owner
    modbus_mapping_free(mapping_);
  }

  uint16_t HoldingRegister(int address) {
    std::lock_guard<std::mutex> lock(mutex_);
    return mapping_->tab_registers[address];
  }
  uint16_t InputRegister(int address) {
    std::lock_guard<std::mutex> lock(mutex_);
    return mapping_->tab_input_registers[address];
  }

 private:
  void Serve() {
    uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop_) {
      // modbus_receive would wait for ever for a first byte; waiting here first lets the thread stop.
      pollfd ready{masterFd_, POLLIN, 0};
      if (poll(&ready, 1, 20) <= 0) continue;
      const int length = modbus_receive(context_, request);
      if (length <= 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      modbus_reply(context_, request, length, mapping_);
    }
  }

  int masterFd_;
  modbus_t* context_;
  modbus_mapping_t* mapping_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::thread server_;
};

}  // namespace varnetik::testing
