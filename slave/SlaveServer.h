// One Modbus slave serving a serial line (a device, or the master side of a pseudo-terminal) and any
// number of Modbus TCP clients from one register map, in one thread: a poll loop over every descriptor,
// with answers scheduled to the millisecond, so that a late or split answer never holds up the others.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "slave/FaultPlan.h"
#include "slave/SlaveFrames.h"
#include "slave/SlaveSockets.h"

namespace varnetik::slave {

// What the server tells about its work; every call comes from the thread that runs it.
class SlaveObserver {
 public:
  virtual ~SlaveObserver() = default;
  // A complete request as framed on its link ("RTU", "TCP#3"); note says why it is not answered,
  // empty when it is.
  virtual void Received(const std::string& link, const Bytes& frame, const std::string& note) = 0;
  // What answers it: the bytes as scheduled (none for silence, a close or a reset) and the fault put
  // into them, empty for none.
  virtual void Answered(const std::string& link, const Bytes& bytes, const std::string& fault) = 0;
  // A connection accepted or ended, a line that failed.
  virtual void Event(const std::string& link, const std::string& what) = 0;
};

struct ServerSettings {
  static constexpr int kAnyUnit = -1;
  int unitId = 1;  // kAnyUnit answers every id
  bool addressesWrap = false;
  bool liveInputs = false;
  // Silence that ends an RTU frame whose length its function code does not give, or a broken one.
  int rtuGapMs = 20;
};

class SlaveServer {
 public:
  explicit SlaveServer(const ServerSettings& settings, SlaveObserver* observer = nullptr);
  ~SlaveServer();  // closes the accepted connections; the descriptors handed in stay the caller's
  SlaveServer(const SlaveServer&) = delete;
  SlaveServer& operator=(const SlaveServer&) = delete;

  // A non-blocking serial line or pseudo-terminal master; on Windows the handle of an open COM port.
  void ServeSerial(Handle line);
  // A non-blocking listening socket.
  void ServeTcp(Handle listener);
  // Calls onReadable from the loop whenever fd is readable (standard input, a wake-up pipe; on Windows
  // only a socket).
  void Watch(Handle fd, std::function<void()> onReadable);
  // No more calls for fd, e.g. standard input at its end; safe from within a watch's callback.
  void Unwatch(Handle fd);

  RegisterMap& Registers() { return registers_; }
  const RegisterMap& Registers() const { return registers_; }
  // The replies for the next requests, one each, on either link; they come before the fault plan.
  void Script(std::vector<Reply> replies);
  FaultPlan& Faults() { return faults_; }

  // Serves until Stop, which a watch's callback calls. False when the serial line failed.
  bool Run();
  void Stop() { running_ = false; }
  const std::string& Failure() const { return failure_; }

  // Takes the connections still waiting, then no longer serves the listener.
  void StopListening();
  // Resets every open connection now.
  void ResetConnections();
  int ConnectionsAccepted() const { return accepted_; }

 private:
  struct Endpoint {
    uint64_t id = 0;  // 0 is the serial line
    Handle fd = kNoHandle;  // kNoHandle once closed
    std::string name;
    Bytes in;
    Bytes out;
    int64_t lastInputMs = 0;
    bool discarding = false;  // serial: a broken frame is dropped up to the next pause
  };
  enum class OutputKind { Bytes, Close, Reset };
  struct Output {
    int64_t dueMs;
    uint64_t endpoint;
    OutputKind kind;
    Bytes bytes;
  };

  void Turn();
  std::vector<WaitEntry> WaitSet() const;
  int PollTimeoutMs() const;
  bool ReadInto(Endpoint& endpoint);
  void AcceptClients();
  void SplitSerialRequests();
  void EndSerialFrame();
  void AnswerRtu(const Bytes& frame);
  void SplitTcpRequests(Endpoint& connection);
  void AnswerTcp(Endpoint& connection, const Bytes& frame);
  Bytes AnswerPduFor(const Bytes& request, const Reply& reply);
  Reply NextReply(LinkKind link, std::string& applied);
  void Schedule(uint64_t endpoint, const Reply& reply, const Bytes& bytes);
  void SendDueOutputs();
  void SendNow(uint64_t endpoint, const Bytes& bytes);
  void DropClosedConnections();
  bool Flush(Endpoint& endpoint);
  Endpoint* Find(uint64_t id);
  void CloseConnection(uint64_t id, bool reset, const std::string& why);
  void FailSerial(const std::string& why);
  bool UnitIsOurs(uint8_t unitId) const;

  ServerSettings settings_;
  SlaveObserver* observer_;
  int64_t startMs_;
  RegisterMap registers_;
  std::deque<Reply> script_;
  FaultPlan faults_;
  struct WatchedFd {
    Handle fd;
    std::function<void()> onReadable;
  };
  std::vector<WatchedFd> watches_;
  Endpoint serial_;
  Handle listenFd_ = kNoHandle;
  std::vector<Endpoint> connections_;
  uint64_t nextConnectionId_ = 1;
  std::vector<Output> outputs_;  // in due order
  int accepted_ = 0;
  bool running_ = false;
  std::string failure_;
};

}  // namespace varnetik::slave
