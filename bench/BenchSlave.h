// A libmodbus slave on its own thread for the round-trip benchmark: RTU on the master sides of
// pseudo-terminal pairs, or Modbus TCP on 127.0.0.1. Slave id 1, holding registers 0..65535. One thread
// answers every master, so the masters being compared meet the same slave under the same scheduling.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace varnetik::bench {

class BenchSlave {
 public:
  enum class Link { Rtu, Tcp };

  // RTU: one pseudo-terminal pair for each of serialLines masters. Exits the process when it cannot be
  // set up.
  BenchSlave(Link link, int serialLines);
  ~BenchSlave();
  BenchSlave(const BenchSlave&) = delete;
  BenchSlave& operator=(const BenchSlave&) = delete;

  // The terminal side of pair index, e.g. "/dev/pts/7" (RTU).
  const std::string& SerialPath(int index) const { return lines_[static_cast<size_t>(index)].path; }
  uint16_t TcpPort() const { return tcpPort_; }

 private:
  struct SerialLine {
    int master = -1;
    // Held open so that the master side never reads EIO while no master has the port open.
    int terminal = -1;
    std::string path;
  };

  void OpenSerialLine();
  void OpenTcpListener();
  void Serve();
  // Answers one request waiting on fd; false when the peer has gone (TCP).
  bool AnswerOne(int fd);

  Link link_;
  std::vector<SerialLine> lines_;
  int listenFd_ = -1;
  uint16_t tcpPort_ = 0;
  int stopPipe_[2] = {-1, -1};
  // One context for every connection: it is pointed at the descriptor of each request before reading it.
  modbus_t* context_ = nullptr;
  modbus_mapping_t* mapping_ = nullptr;
  std::thread thread_;
};

}  // namespace varnetik::bench
