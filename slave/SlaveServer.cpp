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

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Hex2(unsigned value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4 & 0xF], kDigits[value & 0xF]};
}

}  // namespace

SlaveServer::SlaveServer(const ServerSettings& settings, SlaveObserver* observer)
    : settings_(settings), observer_(observer), startMs_(NowMs()) {
  registers_.addressesWrap = settings.addressesWrap;
  serial_.name = "RTU";
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
          SplitSerialRequests();
        } else {
          FailSerial("the line failed or hung up");
        }
      }
      if (ready.writable && !Flush(serial_)) FailSerial("writing to the line failed");
    }
    if (listenFd_ != kNoHandle && fds[at++].readable) AcceptClients();
    // Connections accepted above come after these; closed ones stay in place until the turn ends.
    for (size_t k = 0; k < connectionCount; ++k) {
      const WaitEntry& ready = fds[at + k];
      Endpoint& connection = connections_[k];
      if (connection.fd == kNoHandle) continue;
      if (ready.writable && !Flush(connection)) {
        CloseConnection(connection.id, false, "closed: the client takes no answers");
        continue;
      }
      if (!ready.readable) continue;
      if (ReadInto(connection)) {
        SplitTcpRequests(connection);
      } else {
        CloseConnection(connection.id, false, "closed by the client");
      }
    }
  }
  const bool serialPending = !serial_.in.empty() || serial_.discarding;
  if (serial_.fd != kNoHandle && serialPending && NowMs() - serial_.lastInputMs >= settings_.rtuGapMs) EndSerialFrame();
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
  if (listenFd_ != kNoHandle) fds.push_back({listenFd_, false, false});
  for (const Endpoint& connection : connections_) fds.push_back({connection.fd, false, !connection.out.empty()});
  return fds;
}

int SlaveServer::PollTimeoutMs() const {
  int64_t due = INT64_MAX;
  if (!outputs_.empty()) due = outputs_.front().dueMs;
  if (!serial_.in.empty() || serial_.discarding) due = std::min(due, serial_.lastInputMs + settings_.rtuGapMs);
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
    const Handle fd = AcceptClient(listenFd_);
    if (fd == kNoHandle) return;
    Endpoint connection;
    connection.id = nextConnectionId_++;
    connection.fd = fd;
    connection.name = "TCP#" + std::to_string(connection.id);
    ++accepted_;
    if (observer_ != nullptr) observer_->Event(connection.name, PeerText(fd));
    connections_.push_back(std::move(connection));
  }
}

void SlaveServer::SplitSerialRequests() {
  while (!serial_.discarding) {
    const int64_t length = RtuRequestLength(serial_.in);
    if (length <= 0 || serial_.in.size() < static_cast<size_t>(length)) return;
    Bytes frame(serial_.in.begin(), serial_.in.begin() + length);
    serial_.in.erase(serial_.in.begin(), serial_.in.begin() + length);
    if (!RtuCrcMatches(frame)) {
      // Where the next frame starts is unknown now; the pause before it tells.
      if (observer_ != nullptr) observer_->Received(serial_.name, frame, "CRC wrong: ignored up to the next pause");
      serial_.discarding = true;
      break;
    }
    AnswerRtu(frame);
  }
  serial_.in.clear();
}

void SlaveServer::EndSerialFrame() {
  Bytes frame;
  frame.swap(serial_.in);
  const bool discarded = serial_.discarding;
  serial_.discarding = false;
  if (discarded || frame.empty()) return;
  if (RtuCrcMatches(frame)) {
    AnswerRtu(frame);
  } else if (observer_ != nullptr) {
    observer_->Received(serial_.name, frame, "incomplete or CRC wrong: ignored");
  }
}

void SlaveServer::AnswerRtu(const Bytes& frame) {
  const uint8_t address = frame[0];
  const Bytes pdu(frame.begin() + 1, frame.end() - 2);
  // Address 0 is a broadcast: writes are carried out by every slave and answered by none.
  const bool broadcast = address == 0;
  const bool write = pdu[0] == 0x06 || pdu[0] == 0x10;
  std::string note;
  if (broadcast) note = write ? "broadcast: carried out, not answered" : "broadcast read: ignored";
  if (!broadcast && !UnitIsOurs(address)) note = "unit " + std::to_string(address) + " is not ours: ignored";
  if (observer_ != nullptr) observer_->Received(serial_.name, frame, note);
  if (broadcast && write) AnswerPduFor(pdu, {});
  if (!note.empty()) return;

  std::string applied;
  const Reply reply = NextReply(LinkKind::Rtu, applied);
  Bytes answer;
  if (reply.kind != M::Silent && reply.kind != M::Close && reply.kind != M::Reset) {
    answer = FrameRtuAnswer(address, AnswerPduFor(pdu, reply), reply);
  }
  if (observer_ != nullptr) observer_->Answered(serial_.name, answer, applied);
  Schedule(0, reply, answer);
}

void SlaveServer::SplitTcpRequests(Endpoint& connection) {
  while (connection.fd != kNoHandle && connection.in.size() >= kMbapHeaderSize) {
    const MbapHeader header = ReadMbapHeader(connection.in);
    if (!PlausibleMbapLength(header.length)) {
      const Bytes head(connection.in.begin(), connection.in.begin() + kMbapHeaderSize);
      if (observer_ != nullptr) observer_->Received(connection.name, head, "MBAP length " + std::to_string(header.length) + " frames nothing");
      CloseConnection(connection.id, false, "closed: no way to find the next request");
      return;
    }
    const size_t size = 6u + header.length;
    if (connection.in.size() < size) return;
    const Bytes frame(connection.in.begin(), connection.in.begin() + static_cast<int64_t>(size));
    connection.in.erase(connection.in.begin(), connection.in.begin() + static_cast<int64_t>(size));
    AnswerTcp(connection, frame);
  }
}

void SlaveServer::AnswerTcp(Endpoint& connection, const Bytes& frame) {
  const MbapHeader header = ReadMbapHeader(frame);
  const Bytes pdu(frame.begin() + kMbapHeaderSize, frame.end());
  // 255 addresses the server itself, as a gateway would use it; another unit is one it cannot reach.
  const bool ours = UnitIsOurs(header.unitId) || header.unitId == 0xFF;
  std::string note;
  if (header.protocolId != 0) note = "protocol id " + std::to_string(header.protocolId) + ": ignored";
  if (note.empty() && !ours) {
    note = "unit " + std::to_string(header.unitId) + " is not ours: exception " + Hex2(kGatewayTargetFailed);
  }
  if (observer_ != nullptr) observer_->Received(connection.name, frame, note);
  if (header.protocolId != 0) return;

  std::string applied;
  const Reply reply = ours ? NextReply(LinkKind::Tcp, applied) : Reply{M::Exception, kGatewayTargetFailed};
  Bytes answer;
  if (reply.kind != M::Silent && reply.kind != M::Close && reply.kind != M::Reset) {
    answer = FrameTcpAnswer(header.transactionId, header.unitId, AnswerPduFor(pdu, reply), reply);
  }
  if (observer_ != nullptr) observer_->Answered(connection.name, answer, applied);
  Schedule(connection.id, reply, answer);
}

Bytes SlaveServer::AnswerPduFor(const Bytes& request, const Reply& reply) {
  if (settings_.liveInputs) RefreshLiveInputs(registers_, NowMs() - startMs_);
  return AnswerPdu(request, registers_, reply);
}

Reply SlaveServer::NextReply(LinkKind link, std::string& applied) {
  if (script_.empty()) return faults_.Next(link, applied);
  Reply reply = script_.front();
  script_.pop_front();
  applied = "scripted";
  return reply;
}

void SlaveServer::Schedule(uint64_t endpoint, const Reply& reply, const Bytes& bytes) {
  const int64_t due = NowMs() + reply.delayMs;
  auto add = [&](Output output) {
    auto at = std::upper_bound(outputs_.begin(), outputs_.end(), output.dueMs,
                               [](int64_t ms, const Output& other) { return ms < other.dueMs; });
    outputs_.insert(at, std::move(output));
  };
  if (reply.kind == M::Close || reply.kind == M::Reset) {
    // The serial line cannot be closed at the master; it stays silent instead.
    if (endpoint != 0) add({due, endpoint, reply.kind == M::Close ? OutputKind::Close : OutputKind::Reset, {}});
    return;
  }
  const size_t pieces = static_cast<size_t>(std::max(1, reply.pieces));
  if (reply.delayMs == 0 && pieces == 1) {
    // Sent at once, not after the other answers of this turn: a late answer already waiting is overtaken,
    // as it would be by a device that answers out of turn.
    SendNow(endpoint, bytes);
    return;
  }
  for (size_t i = 0; i < pieces; ++i) {
    const size_t begin = bytes.size() * i / pieces;
    const size_t end = bytes.size() * (i + 1) / pieces;
    if (begin == end) continue;
    add({due + static_cast<int64_t>(i) * reply.pieceGapMs, endpoint, OutputKind::Bytes,
         Bytes(bytes.begin() + static_cast<int64_t>(begin), bytes.begin() + static_cast<int64_t>(end))});
  }
}

void SlaveServer::SendDueOutputs() {
  const int64_t now = NowMs();
  while (!outputs_.empty() && outputs_.front().dueMs <= now) {
    Output output = std::move(outputs_.front());
    outputs_.erase(outputs_.begin());
    Endpoint* endpoint = Find(output.endpoint);
    if (endpoint == nullptr) continue;  // the client has gone meanwhile
    if (output.kind != OutputKind::Bytes) {
      const bool reset = output.kind == OutputKind::Reset;
      CloseConnection(output.endpoint, reset, reset ? "reset, as the fault asks" : "closed, as the fault asks");
      continue;
    }
    SendNow(output.endpoint, output.bytes);
  }
}

void SlaveServer::SendNow(uint64_t id, const Bytes& bytes) {
  Endpoint* endpoint = Find(id);
  if (endpoint == nullptr || bytes.empty()) return;
  endpoint->out.insert(endpoint->out.end(), bytes.begin(), bytes.end());
  if (Flush(*endpoint)) return;
  if (id == 0) {
    FailSerial("writing to the line failed");
  } else {
    CloseConnection(id, false, "closed: sending failed");
  }
}

bool SlaveServer::Flush(Endpoint& endpoint) {
  while (!endpoint.out.empty()) {
    size_t n = 0;
    const IoStatus status = WriteSome(endpoint.fd, endpoint.id == 0, endpoint.out.data(), endpoint.out.size(), n);
    if (status == IoStatus::Moved) {
      endpoint.out.erase(endpoint.out.begin(), endpoint.out.begin() + static_cast<int64_t>(n));
      continue;
    }
    if (status == IoStatus::WouldBlock) break;
    return false;
  }
  return endpoint.out.size() <= kMaxPendingOutput;
}

SlaveServer::Endpoint* SlaveServer::Find(uint64_t id) {
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
  const std::string name = it->name;
  std::erase_if(outputs_, [&](const Output& output) { return output.endpoint == id; });
  if (observer_ != nullptr) observer_->Event(name, why);
}

void SlaveServer::FailSerial(const std::string& why) {
  failure_ = why;
  if (observer_ != nullptr) observer_->Event(serial_.name, why);
  running_ = false;
}

bool SlaveServer::UnitIsOurs(uint8_t unitId) const {
  return settings_.unitId == ServerSettings::kAnyUnit || unitId == settings_.unitId;
}

}  // namespace varnetik::slave
