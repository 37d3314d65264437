// One Modbus slave serving a serial line (a device, or the master side of a pseudo-terminal) and any
// number of Modbus TCP clients, with one register map per unit it stands for, in one thread: a poll loop over every descriptor,
// with answers scheduled to the millisecond, so that a late or split answer never holds up the others.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
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
  // The first unit, which TCP's units 0 and 255 address too; kAnyUnit answers every id from one map.
  int unitId = 1;
  // Further units on the same line or port, each with a map of its own (none with kAnyUnit).
  std::vector<int> moreUnitIds;
  bool addressesWrap = false;
  bool liveInputs = false;
  // Silence that ends an RTU frame whose length its function code does not give, or a broken one.
  int rtuGapMs = 20;
};

// What one link or connection has seen so far.
struct TrafficCounts {
  int64_t requests = 0;    // complete requests, answered or not
  int64_t answers = 0;     // answers with bytes
  int64_t exceptions = 0;  // of them exception answers
  int64_t faults = 0;      // answers a fault mode changed
};

// "12 requests, 11 answers, 1 exception, 3 faults applied"
std::string CountsText(const TrafficCounts& counts);

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

  // The first unit's map.
  RegisterMap& Registers() { return units_.front().registers; }
  const RegisterMap& Registers() const { return units_.front().registers; }
  // The map a request to unitId (1 to 247) is served from; nullptr for a unit the server does not stand
  // for.
  RegisterMap* Registers(int unitId);
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
  // The link ("RTU") or connection ("TCP#3") and its counts, for what is open now.
  std::vector<std::pair<std::string, TrafficCounts>> OpenCounts() const;
  // Over the whole run, connections closed meanwhile included.
  const TrafficCounts& TotalCounts() const { return total_; }

 private:
  struct Endpoint {
    uint64_t id = 0;  // 0 is the serial line
    Handle fd = kNoHandle;  // kNoHandle once closed
    std::string name;
    Bytes in;
    Bytes out;
    int64_t lastInputMs = 0;
    uint64_t sendingSplit = 0;  // the output whose pieces are under way; the others wait for its end
    bool dropReported = false;  // serial: answers dropped since the output last drained, and said so
    TrafficCounts counts;
  };
  enum class OutputKind { Bytes, Close, Reset };
  // An answer, or what is left of a split one, waiting for its time.
  struct Output {
    int64_t dueMs = 0;
    uint64_t endpoint = 0;
    OutputKind kind = OutputKind::Bytes;
    Bytes bytes;
    uint64_t number = 0;  // tells the pieces of one answer from those of another
    int piecesLeft = 1;
    int pieceGapMs = 0;
    // Logged when its first byte goes out, so that the log stamps a late answer when it is sent.
    bool announce = false;
    std::string fault;
    bool faultUsedUp = false;
  };
  enum class FlushResult { Done, Overflow, Failed };

  void Turn();
  std::vector<WaitEntry> WaitSet() const;
  int PollTimeoutMs() const;
  bool ReadInto(Endpoint& endpoint);
  void AcceptClients();
  bool Listening() const { return listenFd_ != kNoHandle && !acceptPaused_; }
  void ServeSerialInput(bool atPause);
  void AnswerRtu(const Bytes& frame);
  void SplitTcpRequests(Endpoint& connection);
  void AnswerTcp(Endpoint& connection, const Bytes& frame);
  Bytes AnswerPduFor(RegisterMap& registers, const Bytes& request, const Reply& reply);
  // The reply to request; fault names the fault put into it, applied tells that it changes the answer
  // and usedUp that it was the last of a MODE:N. A mode that would leave the answer as it is does not
  // count.
  Reply NextReply(LinkKind link, const RegisterMap& registers, const Bytes& request, std::string& fault,
                  bool& applied, bool& usedUp);
  void Schedule(Endpoint& endpoint, const Reply& reply, const Bytes& bytes, const std::string& fault,
                bool faultApplied, bool faultUsedUp);
  void Announce(const std::string& link, const Bytes& bytes, const std::string& fault, bool faultUsedUp);
  bool Held(const Output& output) const;
  void AddOutput(Output output);
  void SendDueOutputs();
  void SendNow(uint64_t endpoint, const Bytes& bytes);
  void DropClosedConnections();
  FlushResult Flush(Endpoint& endpoint);
  void FlushSerial();
  Endpoint* Find(uint64_t id);
  const Endpoint* Find(uint64_t id) const;
  void CloseConnection(uint64_t id, bool reset, const std::string& why);
  void FailSerial(const std::string& why);

  ServerSettings settings_;
  SlaveObserver* observer_;
  int64_t startMs_;
  struct Unit {
    int id;
    RegisterMap registers;
  };
  std::vector<Unit> units_;  // the first is the first unit listed
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
  uint64_t nextOutputNumber_ = 1;
  int accepted_ = 0;
  // Out of descriptors: the listener is left alone until a connection closes or acceptRetryMs_.
  bool acceptPaused_ = false;
  bool exhaustionReported_ = false;
  int64_t acceptRetryMs_ = 0;
  TrafficCounts total_;
  bool running_ = false;
  std::string failure_;
};

}  // namespace varnetik::slave
