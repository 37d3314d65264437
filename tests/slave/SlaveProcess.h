// The installed program as the tests meet it: varnetik-slave started as a process of its own with
// pipes on its standard input, output and error, and libmodbus masters to talk to it.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

typedef struct _modbus modbus_t;

namespace varnetik::testing {

class SlaveProcess {
 public:
  // Starts the program with these arguments and reads where it serves: with --pty the path on the first
  // line, with --listen the port of the line "listening on ...". Fails the test when it does not start.
  // descriptorLimit: not 0, the process may hold at most this many descriptors (ulimit -n).
  explicit SlaveProcess(const std::vector<std::string>& arguments, int descriptorLimit = 0);
  ~SlaveProcess();  // kills a slave still running
  SlaveProcess(const SlaveProcess&) = delete;
  SlaveProcess& operator=(const SlaveProcess&) = delete;

  const std::string& PtyPath() const { return ptyPath_; }
  uint16_t TcpPort() const { return tcpPort_; }

  // The next line printed that starts with prefix, or that contains text; "" when none comes within
  // timeoutMs.
  std::string LineStartingWith(const std::string& prefix, int timeoutMs = 5000);
  std::string LineContaining(const std::string& text, int timeoutMs = 5000);
  // Types "fault MODE" and waits until the slave has taken it.
  bool Fault(const std::string& mode);
  // Types a line on standard input.
  bool Type(const std::string& line);
  // Keeps what the slave prints, for the line readers above, until it has printed nothing for quietMs:
  // a slave that logs into a full pipe would stop serving.
  void AwaitQuiet(int quietMs);
  // Sends the signal and waits for the end: the exit status, or 128 + the signal that ended it. What the
  // slave prints meanwhile is kept, so that it never waits for its standard output on the way out.
  int Stop(int signal = SIGTERM);
  // Everything written to standard error, once the process has ended.
  std::string ErrorOutput();

 private:
  std::string NextLineWhere(bool (*match)(const std::string& line, const std::string& text),
                            const std::string& text, int timeoutMs);
  // Appends what comes within timeoutMs to buffered_; false when nothing came or the output ended.
  bool KeepOutput(int timeoutMs);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string buffered_;
  std::string ptyPath_;
  uint16_t tcpPort_ = 0;
};

struct SlaveRun {
  int status;
  std::string out;
  std::string err;
};
// Runs the program to its end with standard input empty.
SlaveRun RunSlaveToEnd(const std::vector<std::string>& arguments);

// Masters for slave id 1 with a short response timeout; fail the test when they cannot connect.
modbus_t* RtuMaster(const std::string& path, int timeoutMs = 300);
modbus_t* TcpMaster(uint16_t port, int timeoutMs = 300);
void CloseMaster(modbus_t* master);

}  // namespace varnetik::testing
