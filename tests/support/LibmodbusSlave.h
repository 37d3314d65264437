// libmodbus as an independent slave: the same requests judged by a Modbus implementation that is not
// ours. Serves either RTU on a pseudo-terminal or Modbus TCP on 127.0.0.1; by default slave id 1 and
// registers over the whole address range, fewer when a test wants addresses the slave does not have.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/PtyPair.h"

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace varnetik::testing {

class LibmodbusSlave {
 public:
  enum class Link { Rtu, Tcp };

  static constexpr int kAllRegisters = 65536;

  // slaveId matters on RTU only; holding and input registers 0..registerCount-1, all 0 at first.
  explicit LibmodbusSlave(Link link, int slaveId = 1, int registerCount = kAllRegisters);
  ~LibmodbusSlave();
  LibmodbusSlave(const LibmodbusSlave&) = delete;
  LibmodbusSlave& operator=(const LibmodbusSlave&) = delete;

  const std::string& SerialPath() const { return pty_.Path(); }
  uint16_t TcpPort() const { return tcpPort_; }

  void SetHolding(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Holding(uint16_t start, size_t count) const;
  void SetInput(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Input(uint16_t start, size_t count) const;

 private:
  void ServeSerial();
  void ServeTcp();
  // Waits until fd is readable; false when the slave is being stopped.
  bool WaitReadable(int fd) const;
  void AnswerOne(int fd);

  // Addresses wrap within the registers the slave has.
  void Store(uint16_t* table, uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Load(const uint16_t* table, uint16_t start, size_t count) const;

  Link link_;
  int registerCount_;
  PtyPair pty_;
  int listenFd_ = -1;
  uint16_t tcpPort_ = 0;
  int wakePipe_[2] = {-1, -1};
  modbus_t* context_ = nullptr;
  mutable std::mutex mutex_;  // guards mapping_
  modbus_mapping_t* mapping_ = nullptr;
  std::thread thread_;
};

}  // namespace varnetik::testing
