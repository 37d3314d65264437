// libmodbus as an independent slave: the same requests judged by a Modbus implementation that is not
// ours. Serves either RTU on a pseudo-terminal or Modbus TCP on 127.0.0.1, slave id 1, registers over
// the whole address range.
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

  explicit LibmodbusSlave(Link link);
  ~LibmodbusSlave();
  LibmodbusSlave(const LibmodbusSlave&) = delete;
  LibmodbusSlave& operator=(const LibmodbusSlave&) = delete;

  const std::string& SerialPath() const { return pty_.Path(); }
  uint16_t TcpPort() const { return tcpPort_; }

  void SetHolding(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Holding(uint16_t start, size_t count) const;

 private:
  void ServeSerial();
  void ServeTcp();
  // Waits until fd is readable; false when the slave is being stopped.
  bool WaitReadable(int fd) const;
  void AnswerOne(int fd);

  Link link_;
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
