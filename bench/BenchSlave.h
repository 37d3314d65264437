// A libmodbus slave on its own thread for the round-trip benchmark: RTU on the master side of a
// pseudo-terminal pair, or Modbus TCP on 127.0.0.1. Slave id 1, holding registers 0..65535. Each serves
// one master at a time, so the two masters being compared get a slave each and never queue behind
// each other.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace varnetik::bench {

class BenchSlave {
 public:
  enum class Link { Rtu, Tcp };

  explicit BenchSlave(Link link);  // exits the process when it cannot be set up
  ~BenchSlave();
  BenchSlave(const BenchSlave&) = delete;
  BenchSlave& operator=(const BenchSlave&) = delete;

  // The terminal side of the pair, e.g. "/dev/pts/7" (RTU).
  const std::string& SerialPath() const { return terminalPath_; }
  uint16_t TcpPort() const { return tcpPort_; }
  // Read without a lock: only while no master is talking to the slave.
  uint16_t Holding(uint16_t address) const;

 private:
  void Serve();
  bool WaitReadable(int fd) const;  // false when the slave is being stopped
  void ServeConnection(int fd);

  Link link_;
  int ptyMaster_ = -1;
  // Held open so that the master side never reads EIO while no master has the port open.
  int ptyTerminal_ = -1;
  std::string terminalPath_;
  int listenFd_ = -1;
  uint16_t tcpPort_ = 0;
  int stopPipe_[2] = {-1, -1};
  modbus_t* context_ = nullptr;
  modbus_mapping_t* mapping_ = nullptr;
  std::thread thread_;
};

}  // namespace varnetik::bench
