// libmodbus as an independent slave: the same requests judged by a Modbus implementation that is not
// ours, for the interoperability tests and as the common counterpart of the benchmarks. Serves either RTU
// on pseudo-terminals or Modbus TCP on 127.0.0.1; by default slave id 1 and registers over the whole
// address range, fewer when a test wants addresses the slave does not have. One thread answers every
// line and connection, so masters being compared meet the same slave under the same scheduling.
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

  // slaveId matters on RTU only; holding and input registers 0..registerCount-1, all 0 at first. RTU
  // serves serialLines pseudo-terminal pairs, one master on each; TCP serves any number of connections.
  // Aborts when it cannot be set up.
  explicit LibmodbusSlave(Link link, int slaveId = 1, int registerCount = kAllRegisters, int serialLines = 1);
  ~LibmodbusSlave();
  LibmodbusSlave(const LibmodbusSlave&) = delete;
  LibmodbusSlave& operator=(const LibmodbusSlave&) = delete;

  // The terminal side of pair line, e.g. "/dev/pts/7" (RTU).
  const std::string& SerialPath(int line = 0) const { return lines_[static_cast<size_t>(line)]->Path(); }
  uint16_t TcpPort() const { return tcpPort_; }

  void SetHolding(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Holding(uint16_t start, size_t count) const;
  void SetInput(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Input(uint16_t start, size_t count) const;

 private:
  void OpenTcpListener();
  void Serve();
  // Answers one request waiting on fd; false when the peer has gone (TCP).
  bool AnswerOne(int fd);

  // Addresses wrap within the registers the slave has.
  void Store(uint16_t* table, uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Load(const uint16_t* table, uint16_t start, size_t count) const;

  Link link_;
  int registerCount_;
  std::vector<std::unique_ptr<PtyPair>> lines_;
  int listenFd_ = -1;
  uint16_t tcpPort_ = 0;
  int stopPipe_[2] = {-1, -1};
  // One context for every line and connection: it is pointed at the descriptor of each request first.
  modbus_t* context_ = nullptr;
  mutable std::mutex mutex_;  // guards mapping_
  modbus_mapping_t* mapping_ = nullptr;
  std::thread thread_;
};

}  // namespace varnetik::testing
