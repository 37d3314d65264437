// The product's slave (slave/SlaveServer) as the tests drive it: RTU on a pseudo-terminal (the program
// opens SerialPath()) and Modbus TCP on 127.0.0.1:TcpPort(), both from one register map, on a thread of
// its own, told request by request how to misbehave. It answers every unit id and lets blocks wrap past
// 65535, so that the master's tests can reach every case of their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "slave/SlaveServer.h"
#include "tests/support/PtyPair.h"
#include "tests/support/SlaveFrames.h"

namespace varnetik::testing {

class ScriptableSlave {
 public:
  // Whether Requests() keeps what came in; a long run keeps nothing, so that its memory check measures
  // the master rather than this log.
  enum class History { Every, None };

  explicit ScriptableSlave(History history = History::Every);
  ~ScriptableSlave();
  ScriptableSlave(const ScriptableSlave&) = delete;
  ScriptableSlave& operator=(const ScriptableSlave&) = delete;

  const std::string& SerialPath() const { return pty_.Path(); }
  uint16_t TcpPort() const { return tcpPort_; }

  // The replies for the next requests, one each, on either link; after them every answer is correct.
  void Script(std::vector<Reply> replies);

  void SetHolding(uint16_t start, const std::vector<uint16_t>& values);
  void SetInput(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<uint16_t> Holding(uint16_t start, size_t count) const;

  // Every complete request received so far, as framed on its link (RTU frame or MBAP header + PDU).
  std::vector<Bytes> Requests() const;
  // The same once at least count requests are in, or after bound: a click returns when the master has
  // its answer or gave up, which can be before this thread has taken the request off the line.
  std::vector<Bytes> WaitForRequests(size_t count,
                                     std::chrono::milliseconds bound = std::chrono::milliseconds(2000)) const;
  int ConnectionsAccepted() const;

  // From now on connects are refused; open connections stay.
  void StopListening();
  // Resets every open TCP connection now.
  void ResetConnections();

 private:
  class RequestLog : public slave::SlaveObserver {
   public:
    void Received(const std::string&, const Bytes& frame, const std::string&) override {
      if (keeps) frames.push_back(frame);
    }
    void Answered(const std::string&, const Bytes&, const std::string&) override {}
    void Event(const std::string&, const std::string&) override {}
    bool keeps = true;
    std::vector<Bytes> frames;
  };

  // Runs command on the server's thread, in the order given; Call also waits for it to end.
  void Post(std::function<void()> command) const;
  void Call(const std::function<void()>& command) const;
  void RunCommands();

  PtyPair pty_;
  int listenFd_ = -1;
  int placeholderFd_ = -1;  // keeps the port taken after StopListening, so connects are refused
  uint16_t tcpPort_ = 0;
  int wakePipe_[2] = {-1, -1};
  RequestLog log_;
  slave::SlaveServer server_;

  mutable std::mutex mutex_;  // guards commands_
  mutable std::vector<std::function<void()>> commands_;

  std::thread thread_;
};

}  // namespace varnetik::testing
