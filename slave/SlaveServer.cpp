#include "slave/SlaveServer.h"

#include <algorithm>
#include <chrono>

#include "slave/LiveInputs.h"
#include "slave/SlaveRequests.h"

namespace varnetik::slave {

namespace {

using M = Misbehaviour;

// A client that sends requests but never reads its answers is dropped at this much unsent output.
constexpr size_t kMaxPendingOutput = 1 << 16;
// A serial master's answers are dropped instead, as the line cannot be closed at it; this is seconds of
// answers at the usual baud rates.
constexpr size_t kMaxPendingLineOutput = 4096;
// Out of descriptors, accepting is tried again this often even when no connection of ours closes.
constexpr int kAcceptRetryMs = 1000;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Hex2(unsigned value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4 & 0xF], kDigits[value & 0xF]};
}

std::string Counted(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Offset of the PDU in an answer as scheduled, for telling an exception answer.
bool IsExceptionAnswer(const Bytes& answer, size_t pduOffset) {
  return answer.size() > pduOffset && (answer[pduOffset] & 0x80) != 0;
}

}  // namespace

std::string CountsText(const TrafficCounts& counts) {
  return Counted(counts.requests, "request", "requests") + ", " + Counted(counts.answers, "answer", "answers") +
         ", " + Counted(counts.exceptions, "exception", "exceptions") + ", " +
         Counted(counts.faults, "fault applied", "faults applied");
}

SlaveServer::SlaveServer(const ServerSettings& settings, SlaveObserver* observer)
    : settings_(settings), observer_(observer), startMs_(NowMs()) {
  units_.resize(1 + (settings.unitId == ServerSettings::kAnyUnit ? 0 : settings.moreUnitIds.size()));
  units_[0].id = settings.unitId;
  for (size_t k = 1; k < units_.size(); ++k) units_[k].id = settings.moreUnitIds[k - 1];
  for (Unit& unit : units_) unit.registers.addressesWrap = settings.addressesWrap;
  serial_.name = "RTU";
}

RegisterMap* SlaveServer::Registers(int unitId) {
  if (units_.front().id == ServerSettings::kAnyUnit) return &units_.front().registers;
  for (Unit& unit : units_) {
    if (unit.id == unitId) return &unit.registers;
  }
  return nullptr;
}

SlaveServer::~SlaveServer() {
  for (const Endpoint& connection : connections_) {
    if (connection.fd != kNoHandle) CloseSocket(connection.fd, false);
  }
}

void SlaveServer::ServeSerial(Handle line) { serial_.fd = line; }

void SlaveServer::ServeTcp(Handle listener) { listenFd_ = listener; }

void SlaveServer::Watch(Handle fd, std::function<void()> onReadable) {
  watches_.push_back({fd, std::move(onReadable)});
}

void SlaveServer::Unwatch(Handle fd) {
  // Kept in place with no handle, which the wait skips, so that a running loop over the watches is not
  // disturbed.
  for (WatchedFd& watch : watches_) {
    if (watch.fd == fd) watch.fd = kNoHandle;
  }
}

void SlaveServer::Script(std::vector<Reply> replies) { script_.assign(replies.begin(), replies.end()); }

bool SlaveServer::Run() {
  running_ = true;
  while (running_) Turn();
  return failure_.empty();
}

void SlaveServer::StopListening() {
  // Connections still waiting in the queue would be reset by the listener's close; they are taken first.
  if (listenFd_ != kNoHandle) AcceptClients();
  listenFd_ = kNoHandle;
}

void SlaveServer::ResetConnections() {
  if (listenFd_ != kNoHandle) AcceptClients();
  for (const Endpoint& connection : connections_) {
    if (connection.fd != kNoHandle) CloseConnection(connection.id, true, "reset");
  }
  DropClosedConnections();
}

void SlaveServer::Turn() {
  std::vector<WaitEntry> fds = WaitSet();
  const size_t connectionCount = connections_.size();
  if (!WaitForAny(fds, PollTimeoutMs())) {
    FailSerial("waiting for input: " + SystemErrorText());
    return;
  }
  size_t at = 0;
  bool watched = false;
  for (; at < watches_.size(); ++at) {
    if (!fds[at].readable) continue;
    watched = true;
    watches_[at].onReadable();
  }
  // A watch's callback may have changed the connections the rest of fds stands for; they are served on
  // the next turn, as they are still readable then.
  if (!watched) {
    if (serial_.fd != kNoHandle) {
      const WaitEntry& ready = fds[at++];
      if (ready.readable) {
        if (ReadInto(serial_)) {
          ServeSerialInput(false);
        } else {
          FailSerial("the line failed or hung up");
        }
      }
      if (ready.writable && serial_.fd != kNoHandle) FlushSerial();
    }
    const bool listening = Listening();
    if (listening && fds[at++].readable) AcceptClients();
    // Connections accepted above come after these; closed ones stay in place until the turn ends.
    for (size_t k = 0; k < connectionCount; ++k) {
      const WaitEntry& ready = fds[at + k];
      Endpoint& connection = connections_[k];
      if (connection.fd == kNoHandle) continue;
      if (ready.writable) {
        const FlushResult flushed = Flush(connection);
        if (flushed != FlushResult::Done) {
          CloseConnection(connection.id, false,
                          flushed == FlushResult::Overflow ? "closed: the client stopped reading its answers"
                                                           : "closed: sending failed: " + SystemErrorText());
          continue;
        }
      }
      if (!ready.readable) continue;
      if (ReadInto(connection)) {
        SplitTcpRequests(connection);
      } else {
        CloseConnection(connection.id, false, "closed by the client");
      }
    }
  }
  if (serial_.fd != kNoHandle && !serial_.in.empty() && NowMs() - serial_.lastInputMs >= settings_.rtuGapMs) {
    ServeSerialInput(true);
  }
  if (acceptPaused_ && NowMs() >= acceptRetryMs_) acceptPaused_ = false;
  SendDueOutputs();
  DropClosedConnections();
}

void SlaveServer::DropClosedConnections() {
  std::erase_if(connections_, [](const Endpoint& connection) { return connection.fd == kNoHandle; });
}

std::vector<WaitEntry> SlaveServer::WaitSet() const {
  std::vector<WaitEntry> fds;
  fds.reserve(watches_.size() + 2 + connections_.size());
  for (const WatchedFd& watch : watches_) fds.push_back({watch.fd, false, false});
  if (serial_.fd != kNoHandle) fds.push_back({serial_.fd, true, !serial_.out.empty()});
  if (Listening()) fds.push_back({listenFd_, false, false});
  for (const Endpoint& connection : connections_) fds.push_back({connection.fd, false, !connection.out.empty()});
  return fds;
}

int SlaveServer::PollTimeoutMs() const {
  int64_t due = INT64_MAX;
  for (const Output& output : outputs_) {
    if (!Held(output)) {
      due = output.dueMs;
      break;
    }
  }
  if (!serial_.in.empty()) due = std::min(due, serial_.lastInputMs + settings_.rtuGapMs);
  if (acceptPaused_) due = std::min(due, acceptRetryMs_);
  if (due == INT64_MAX) return -1;
  return static_cast<int>(std::clamp<int64_t>(due - NowMs(), 0, INT32_MAX));
}

bool SlaveServer::ReadInto(Endpoint& endpoint) {
  uint8_t chunk[4096];
  bool gotAny = false;
  for (;;) {
    size_t n = 0;
    const IoStatus status = ReadSome(endpoint.fd, endpoint.id == 0, chunk, sizeof chunk, n);
    if (status == IoStatus::Moved) {
      endpoint.in.insert(endpoint.in.end(), chunk, chunk + n);
      endpoint.lastInputMs = NowMs();
      gotAny = true;
      // A short read took all there was; what comes later makes the descriptor readable again.
      if (n < sizeof chunk) return true;
      continue;
    }
    if (status == IoStatus::WouldBlock) return true;
    // A serial line in raw mode reads 0 when nothing is there; a socket only at its end.
    return status == IoStatus::Ended && endpoint.id == 0 && gotAny;
  }
}

void SlaveServer::AcceptClients() {
  for (;;) {
    bool outOfHandles = false;
    const Handle fd = AcceptClient(listenFd_, outOfHandles);
    if (fd == kNoHandle) {
      if (outOfHandles) {
        // The client stays queued and the listener readable: waiting on it now would only spin.
        acceptPaused_ = true;
        acceptRetryMs_ = NowMs() + kAcceptRetryMs;
        if (!exhaustionReported_ && observer_ != nullptr) {
          observer_->Event("TCP", "cannot accept another connection (" + SystemErrorText() +
                                      "): waiting until a connection closes, serving the open ones");
        }
        exhaustionReported_ = true;
      } else {
        exhaustionReported_ = false;  // every waiting client taken
      }
      return;
    }
    Endpoint connection;
    connection.id = nextConnectionId_++;
    connection.fd = fd;
    connection.name = "TCP#" + std::to_string(connection.id);
    ++accepted_;
    if (observer_ != nullptr) observer_->Event(connection.name, PeerText(fd));
    connections_.push_back(std::move(connection));
  }
}

void SlaveServer::ServeSerialInput(bool atPause) {
  std::vector<RtuPiece> pieces;
  CutRtuRequests(serial_.in, atPause, pieces);
  for (RtuPiece& piece : pieces) {
    if (piece.request) {
      AnswerRtu(piece.bytes);
    } else {
      ++serial_.counts.requests;
      ++total_.requests;
      if (observer_ != nullptr) observer_->Received(serial_.name, piece.bytes, "no request (incomplete or CRC wrong): ignored");
    }
  }
}

void SlaveServer::AnswerRtu(const Bytes& frame) {
  const uint8_t address = frame[0];
  const Bytes pdu(frame.begin() + 1, frame.end() - 2);
  // Address 0 is a broadcast: writes are carried out by every slave and answered by none.
  const bool broadcast = address == 0;
  const bool write = IsWriteFunction(pdu[0]);
  RegisterMap* registers = broadcast ? nullptr : Registers(address);
  std::string note;
  if (broadcast) note = write ? "broadcast: carried out, not answered" : "broadcast read: ignored";
  if (!broadcast && registers == nullptr) note = "unit " + std::to_string(address) + " is not ours: ignored";
  ++serial_.counts.requests;
  ++total_.requests;
  if (observer_ != nullptr) observer_->Received(serial_.name, frame, note);
  if (broadcast && write) {
    for (Unit& unit : units_) AnswerPduFor(unit.registers, pdu, {});
  }
  if (!note.empty()) return;

  std::string fault;
  bool applied = false;
  bool usedUp = false;
  const Reply reply = NextReply(LinkKind::Rtu, *registers, pdu, fault, applied, usedUp);
  Bytes answer;
  if (reply.kind != M::Silent && reply.kind != M::Close && reply.kind != M::Reset) {
    answer = FrameRtuAnswer(address, AnswerPduFor(*registers, pdu, reply), reply);
  }
  if (IsExceptionAnswer(answer, 1)) {
    ++serial_.counts.exceptions;
    ++total_.exceptions;
  }
  Schedule(serial_, reply, answer, fault, applied, usedUp);
}

void SlaveServer::SplitTcpRequests(Endpoint& connection) {
  size_t at = 0;
  while (connection.fd != kNoHandle) {
    size_t length = 0;
    const TcpCut cut = CutTcpRequest(connection.in.data() + at, connection.in.size() - at, length);
    if (cut == TcpCut::NeedMore) break;
    if (cut == TcpCut::Unframeable) {
      const Bytes head(connection.in.begin() + static_cast<int64_t>(at),
                       connection.in.begin() + static_cast<int64_t>(at + kMbapHeaderSize));
      const uint16_t bad = ReadMbapHeader(head).length;
      if (observer_ != nullptr) observer_->Received(connection.name, head, "MBAP length " + std::to_string(bad) + " frames nothing");
      CloseConnection(connection.id, false,
                      "closed: MBAP length " + std::to_string(bad) +
                          " frames no request (2 to 254 do), so the next request cannot be found");
      return;
    }
    const Bytes frame(connection.in.begin() + static_cast<int64_t>(at),
                      connection.in.begin() + static_cast<int64_t>(at + length));
    at += length;
    AnswerTcp(connection, frame);
  }
  // Closing may have cleared nothing: the input of a closed connection is never looked at again.
  connection.in.erase(connection.in.begin(), connection.in.begin() + static_cast<int64_t>(std::min(at, connection.in.size())));
}

void SlaveServer::AnswerTcp(Endpoint& connection, const Bytes& frame) {
  const MbapHeader header = ReadMbapHeader(frame);
  const Bytes pdu(frame.begin() + kMbapHeaderSize, frame.end());
  // 0 and 255 address the server itself, as most TCP masters send by default and a gateway would use:
  // the first unit. Another unit is one it cannot reach.
  RegisterMap* registers =
      header.unitId == 0xFF || header.unitId == 0 ? &units_.front().registers : Registers(header.unitId);
  const bool ours = registers != nullptr;
  std::string note;
  if (header.protocolId != 0) note = "protocol id " + std::to_string(header.protocolId) + ": ignored";
  if (note.empty() && !ours) {
    note = "unit " + std::to_string(header.unitId) + " is not ours: exception " + Hex2(kGatewayTargetFailed);
  }
  ++connection.counts.requests;
  ++total_.requests;
  if (observer_ != nullptr) observer_->Received(connection.name, frame, note);
  if (header.protocolId != 0) return;

  std::string fault;
  bool applied = false;
  bool usedUp = false;
  const Reply reply =
      ours ? NextReply(LinkKind::Tcp, *registers, pdu, fault, applied, usedUp) : Reply{M::Exception, kGatewayTargetFailed};
  Bytes answer;
  if (reply.kind != M::Silent && reply.kind != M::Close && reply.kind != M::Reset) {
    // An unreached unit's answer is the gateway exception, which touches no map.
    RegisterMap& answering = ours ? *registers : units_.front().registers;
    answer = FrameTcpAnswer(header.transactionId, header.unitId, AnswerPduFor(answering, pdu, reply), reply);
  }
  if (IsExceptionAnswer(answer, kMbapHeaderSize)) {
    ++connection.counts.exceptions;
    ++total_.exceptions;
  }
  Schedule(connection, reply, answer, fault, applied, usedUp);
}

Bytes SlaveServer::AnswerPduFor(RegisterMap& registers, const Bytes& request, const Reply& reply) {
  if (settings_.liveInputs) RefreshLiveInputs(registers, NowMs() - startMs_);
  return AnswerPdu(request, registers, reply);
}

Reply SlaveServer::NextReply(LinkKind link, const RegisterMap& registers, const Bytes& request, std::string& fault,
                             bool& applied, bool& usedUp) {
  if (!script_.empty()) {
    Reply reply = script_.front();
    script_.pop_front();
    fault = "scripted";
    applied = true;
    return reply;
  }
  Reply reply = faults_.Next(link, fault);
  if (fault.empty()) return reply;
  if (!FaultChangesAnswer(request, registers, reply)) {
    // A drawn "none" keeps its name, so that a random run can be followed in the log.
    if (!faults_.Current().random) fault.clear();
    return {};
  }
  applied = true;
  usedUp = faults_.CountApplied();
  return reply;
}

void SlaveServer::Announce(const std::string& link, const Bytes& bytes, const std::string& fault, bool faultUsedUp) {
  if (observer_ == nullptr) return;
  observer_->Answered(link, bytes, fault);
  if (faultUsedUp) observer_->Event(link, "fault " + faults_.Current().name + " used up: correct answers again");
}

void SlaveServer::Schedule(Endpoint& endpoint, const Reply& reply, const Bytes& bytes, const std::string& fault,
                           bool faultApplied, bool faultUsedUp) {
  if (faultApplied) {
    ++endpoint.counts.faults;
    ++total_.faults;
  }
  if (!bytes.empty()) {
    ++endpoint.counts.answers;
    ++total_.answers;
  }
  Output output;
  output.dueMs = NowMs() + reply.delayMs;
  output.endpoint = endpoint.id;
  output.kind = OutputKind::Bytes;
  output.bytes = bytes;
  if (reply.kind == M::Close || reply.kind == M::Reset) {
    Announce(endpoint.name, {}, fault, faultUsedUp);
    // The serial line cannot be closed at the master; it stays silent instead.
    if (endpoint.id == 0) return;
    output.kind = reply.kind == M::Close ? OutputKind::Close : OutputKind::Reset;
    AddOutput(std::move(output));
    return;
  }
  // A split answer already queued, even one whose first piece is not out yet, keeps its place.
  const bool behindSplit =
      endpoint.sendingSplit != 0 || std::any_of(outputs_.begin(), outputs_.end(), [&](const Output& queued) {
        return queued.endpoint == endpoint.id && queued.piecesLeft > 1;
      });
  if (bytes.empty() || (reply.delayMs == 0 && reply.pieces <= 1 && !behindSplit)) {
    // Sent at once, not after the other answers of this turn: a late answer already waiting is overtaken,
    // as it would be by a device that answers out of turn.
    Announce(endpoint.name, bytes, fault, faultUsedUp);
    SendNow(endpoint.id, bytes);
    return;
  }
  // Late, split, or behind a split answer whose pieces are still under way.
  output.piecesLeft = std::max(1, reply.pieces);
  output.pieceGapMs = reply.pieceGapMs;
  output.announce = true;
  output.fault = fault;
  output.faultUsedUp = faultUsedUp;
  AddOutput(std::move(output));
}

void SlaveServer::AddOutput(Output output) {
  if (output.number == 0) output.number = nextOutputNumber_++;
  auto at = std::upper_bound(outputs_.begin(), outputs_.end(), output.dueMs,
                             [](int64_t ms, const Output& other) { return ms < other.dueMs; });
  outputs_.insert(at, std::move(output));
}

bool SlaveServer::Held(const Output& output) const {
  // The pieces of one answer are never mixed with the bytes of another.
  const Endpoint* endpoint = Find(output.endpoint);
  return endpoint != nullptr && endpoint->sendingSplit != 0 && endpoint->sendingSplit != output.number;
}

void SlaveServer::SendDueOutputs() {
  for (;;) {
    const int64_t now = NowMs();
    auto due = std::find_if(outputs_.begin(), outputs_.end(),
                            [&](const Output& output) { return output.dueMs <= now && !Held(output); });
    if (due == outputs_.end() || due->dueMs > now) return;
    Output output = std::move(*due);
    outputs_.erase(due);
    Endpoint* endpoint = Find(output.endpoint);
    if (endpoint == nullptr) continue;  // the client has gone meanwhile
    if (output.kind != OutputKind::Bytes) {
      const bool reset = output.kind == OutputKind::Reset;
      CloseConnection(output.endpoint, reset, reset ? "reset, as the fault asks" : "closed, as the fault asks");
      continue;
    }
    if (output.announce) Announce(endpoint->name, output.bytes, output.fault, output.faultUsedUp);
    output.announce = false;
    const size_t pieceSize = output.bytes.size() / static_cast<size_t>(output.piecesLeft);
    const Bytes piece(output.bytes.begin(), output.bytes.begin() + static_cast<int64_t>(pieceSize));
    output.bytes.erase(output.bytes.begin(), output.bytes.begin() + static_cast<int64_t>(pieceSize));
    --output.piecesLeft;
    const uint64_t id = output.endpoint;
    const uint64_t number = output.number;
    if (output.bytes.empty()) {
      endpoint->sendingSplit = 0;
    } else {
      endpoint->sendingSplit = number;
      output.dueMs += output.pieceGapMs;
      AddOutput(std::move(output));
    }
    SendNow(id, piece);
  }
}

void SlaveServer::SendNow(uint64_t id, const Bytes& bytes) {
  Endpoint* endpoint = Find(id);
  if (endpoint == nullptr || bytes.empty()) return;
  endpoint->out.insert(endpoint->out.end(), bytes.begin(), bytes.end());
  if (id == 0) {
    FlushSerial();
    return;
  }
  const FlushResult flushed = Flush(*endpoint);
  if (flushed == FlushResult::Overflow) {
    CloseConnection(id, false, "closed: the client stopped reading its answers");
  } else if (flushed == FlushResult::Failed) {
    CloseConnection(id, false, "closed: sending failed: " + SystemErrorText());
  }
}

void SlaveServer::FlushSerial() {
  const FlushResult flushed = Flush(serial_);
  if (flushed == FlushResult::Done) {
    if (serial_.out.empty()) serial_.dropReported = false;
    return;
  }
  // A master that does not read its answers must not take the TCP clients down with it.
  const std::string why = flushed == FlushResult::Overflow ? "the master does not read its answers"
                                                           : "writing to the line failed: " + SystemErrorText();
  if (!serial_.dropReported && observer_ != nullptr) {
    observer_->Event(serial_.name, "answers dropped: " + why + "; dropping what cannot be sent until it does");
  }
  serial_.dropReported = true;
  serial_.out.clear();
}

SlaveServer::FlushResult SlaveServer::Flush(Endpoint& endpoint) {
  while (!endpoint.out.empty()) {
    size_t n = 0;
    const IoStatus status = WriteSome(endpoint.fd, endpoint.id == 0, endpoint.out.data(), endpoint.out.size(), n);
    if (status == IoStatus::Moved) {
      endpoint.out.erase(endpoint.out.begin(), endpoint.out.begin() + static_cast<int64_t>(n));
      continue;
    }
    if (status == IoStatus::WouldBlock) break;
    return FlushResult::Failed;
  }
  const size_t limit = endpoint.id == 0 ? kMaxPendingLineOutput : kMaxPendingOutput;
  return endpoint.out.size() <= limit ? FlushResult::Done : FlushResult::Overflow;
}

SlaveServer::Endpoint* SlaveServer::Find(uint64_t id) {
  return const_cast<Endpoint*>(static_cast<const SlaveServer*>(this)->Find(id));
}

const SlaveServer::Endpoint* SlaveServer::Find(uint64_t id) const {
  if (id == 0) return serial_.fd != kNoHandle ? &serial_ : nullptr;
  auto it = std::find_if(connections_.begin(), connections_.end(),
                         [&](const Endpoint& c) { return c.id == id && c.fd != kNoHandle; });
  return it == connections_.end() ? nullptr : &*it;
}

void SlaveServer::CloseConnection(uint64_t id, bool reset, const std::string& why) {
  Endpoint* it = id == 0 ? nullptr : Find(id);
  if (it == nullptr) return;
  CloseSocket(it->fd, reset);
  // Dropped from the list when the turn ends, so that the loop over the connections is not disturbed.
  it->fd = kNoHandle;
  // A descriptor is free again.
  acceptPaused_ = false;
  std::erase_if(outputs_, [&](const Output& output) { return output.endpoint == id; });
  if (observer_ != nullptr) observer_->Event(it->name, why + " (" + CountsText(it->counts) + ")");
}

std::vector<std::pair<std::string, TrafficCounts>> SlaveServer::OpenCounts() const {
  std::vector<std::pair<std::string, TrafficCounts>> open;
  if (serial_.fd != kNoHandle) open.emplace_back(serial_.name, serial_.counts);
  for (const Endpoint& connection : connections_) {
    if (connection.fd != kNoHandle) open.emplace_back(connection.name, connection.counts);
  }
  return open;
}

void SlaveServer::FailSerial(const std::string& why) {
  failure_ = why;
  if (observer_ != nullptr) observer_->Event(serial_.name, why);
  running_ = false;
}

}  // namespace varnetik::slave
