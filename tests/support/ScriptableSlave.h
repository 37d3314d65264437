// A Modbus slave for the tests that can be told, request by request, how to misbehave. It serves RTU on
// a pseudo-terminal (the program opens SerialPath()) and Modbus TCP on 127.0.0.1:TcpPort(), both from
// one register map, on a thread of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/PtyPair.h"
#include "tests/support/SlaveFrames.h"

namespace varnetik::testing {

class ScriptableSlave {
 public:
  ScriptableSlave();
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
  int ConnectionsAccepted() const;

  // From now on connects are refused; open connections stay.
  void StopListening();
  // Resets every open TCP connection now.
  void ResetConnections();

 private:
  struct Connection {
    uint64_t id;
    int fd;
    Bytes in;
  };
  enum class OutputKind { Bytes, Close, Reset };
  struct Output {
    int64_t dueMs;
    uint64_t connection;  // 0 is the serial line
    OutputKind kind;
    Bytes bytes;
  };

  void Run();
  void RunOnThread(const std::function<void()>& command);
  bool AcceptClient();
  void ReadSerial();
  bool ReadClient(Connection& connection);
  void AnswerSerialRequests();
  void AnswerTcpRequests(Connection& connection);
  Reply NextReply(const Bytes& request);
  void Schedule(uint64_t connection, const Reply& reply, const Bytes& bytes);
  void SendDueOutputs();
  void CloseConnection(uint64_t id, bool reset);
  int PollTimeoutMs() const;

  PtyPair pty_;
  Bytes serialIn_;
  int listenFd_ = -1;
  int placeholderFd_ = -1;  // keeps the port taken after StopListening, so connects are refused
  uint16_t tcpPort_ = 0;
  int wakePipe_[2] = {-1, -1};
  std::vector<Connection> connections_;
  uint64_t nextConnectionId_ = 1;
  std::vector<Output> outputs_;  // in due order

  mutable std::mutex mutex_;  // guards everything below
  RegisterMap registers_;
  std::deque<Reply> script_;
  std::vector<Bytes> requests_;
  int accepted_ = 0;
  std::vector<std::function<void()>> commands_;
  bool stopping_ = false;

  std::thread thread_;
};

}  // namespace varnetik::testing
