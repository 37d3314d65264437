#include "tests/support/ScriptableSlave.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace varnetik::testing {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Require(bool ok, const char* what) {
  if (ok) return;
  std::perror(what);
  std::abort();
}

// Bound to 127.0.0.1; port 0 asks for an ephemeral one.
int LoopbackSocket(uint16_t port, bool listening) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  Require(fd >= 0, "socket");
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  if (listening) Require(listen(fd, 8) == 0, "listen");
  return fd;
}

uint16_t LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

// Length of the RTU request at the front of buffer, 0 while it is not known yet, -1 for garbage.
int64_t RtuRequestLength(const Bytes& buffer) {
  if (buffer.size() < 2) return 0;
  switch (buffer[1]) {
    case 0x03:
    case 0x04:
    case 0x06:
      return 8;
    case 0x10:
      return buffer.size() < 7 ? 0 : 9 + buffer[6];
    default:
      return -1;
  }
}

}  // namespace

ScriptableSlave::ScriptableSlave() {
  // A peer that has gone must show as a failed send, not end the test process.
  signal(SIGPIPE, SIG_IGN);
  listenFd_ = LoopbackSocket(0, true);
  Require(listenFd_ >= 0, "bind");
  tcpPort_ = LocalPort(listenFd_);
  Require(pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) == 0, "pipe2");
  thread_ = std::thread([this] { Run(); });
}

ScriptableSlave::~ScriptableSlave() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  [[maybe_unused]] ssize_t ignored = write(wakePipe_[1], "x", 1);
  thread_.join();
  for (const Connection& connection : connections_) close(connection.fd);
  if (listenFd_ >= 0) close(listenFd_);
  if (placeholderFd_ >= 0) close(placeholderFd_);
  close(wakePipe_[0]);
  close(wakePipe_[1]);
}

void ScriptableSlave::Script(std::vector<Reply> replies) {
  std::lock_guard lock(mutex_);
  script_.assign(replies.begin(), replies.end());
}

void ScriptableSlave::SetHolding(uint16_t start, const std::vector<uint16_t>& values) {
  std::lock_guard lock(mutex_);
  for (size_t k = 0; k < values.size(); ++k) registers_.holding[static_cast<uint16_t>(start + k)] = values[k];
}

void ScriptableSlave::SetInput(uint16_t start, const std::vector<uint16_t>& values) {
  std::lock_guard lock(mutex_);
  for (size_t k = 0; k < values.size(); ++k) registers_.input[static_cast<uint16_t>(start + k)] = values[k];
}

std::vector<uint16_t> ScriptableSlave::Holding(uint16_t start, size_t count) const {
  std::lock_guard lock(mutex_);
  std::vector<uint16_t> values;
  for (size_t k = 0; k < count; ++k) values.push_back(registers_.holding[static_cast<uint16_t>(start + k)]);
  return values;
}

std::vector<Bytes> ScriptableSlave::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int ScriptableSlave::ConnectionsAccepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

void ScriptableSlave::StopListening() {
  RunOnThread([this] {
    // Connections still waiting in the queue would be reset by the close; they are taken first.
    while (AcceptClient()) {
    }
    close(listenFd_);
    listenFd_ = -1;
    placeholderFd_ = LoopbackSocket(tcpPort_, false);
  });
}

void ScriptableSlave::ResetConnections() {
  RunOnThread([this] {
    while (listenFd_ >= 0 && AcceptClient()) {
    }
    while (!connections_.empty()) CloseConnection(connections_.front().id, true);
  });
}

void ScriptableSlave::RunOnThread(const std::function<void()>& command) {
  std::promise<void> done;
  {
    std::lock_guard lock(mutex_);
    commands_.push_back([&] {
      command();
      done.set_value();
    });
  }
  [[maybe_unused]] ssize_t ignored = write(wakePipe_[1], "x", 1);
  done.get_future().wait();
}

void ScriptableSlave::Run() {
  for (;;) {
    std::vector<pollfd> fds{{wakePipe_[0], POLLIN, 0}, {pty_.MasterFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
    for (const Connection& connection : connections_) fds.push_back({connection.fd, POLLIN, 0});
    poll(fds.data(), fds.size(), PollTimeoutMs());

    if (fds[0].revents) {
      char drain[64];
      while (read(wakePipe_[0], drain, sizeof drain) > 0) {
      }
      std::vector<std::function<void()>> commands;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        commands.swap(commands_);
      }
      for (auto& command : commands) command();
    }
    if (fds[1].revents & POLLIN) ReadSerial();
    if (listenFd_ >= 0 && fds[2].fd == listenFd_ && (fds[2].revents & POLLIN)) AcceptClient();
    // Connections may close while they are served; collect the ids first.
    std::vector<uint64_t> readable;
    for (size_t i = 3; i < fds.size(); ++i) {
      if (fds[i].revents) readable.push_back(connections_[i - 3].id);
    }
    for (uint64_t id : readable) {
      auto it = std::find_if(connections_.begin(), connections_.end(), [&](auto& c) { return c.id == id; });
      if (it == connections_.end()) continue;
      if (ReadClient(*it)) {
        AnswerTcpRequests(*it);
      } else {
        CloseConnection(id, false);
      }
    }
    SendDueOutputs();
  }
}

bool ScriptableSlave::AcceptClient() {
  int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return false;
  connections_.push_back({nextConnectionId_++, fd, {}});
  std::lock_guard lock(mutex_);
  ++accepted_;
  return true;
}

void ScriptableSlave::ReadSerial() {
  uint8_t chunk[512];
  ssize_t n;
  while ((n = read(pty_.MasterFd(), chunk, sizeof chunk)) > 0) {
    serialIn_.insert(serialIn_.end(), chunk, chunk + n);
  }
  AnswerSerialRequests();
}

bool ScriptableSlave::ReadClient(Connection& connection) {
  uint8_t chunk[512];
  ssize_t n = recv(connection.fd, chunk, sizeof chunk, 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
  if (n <= 0) return false;  // the program has closed or reset its side
  connection.in.insert(connection.in.end(), chunk, chunk + n);
  return true;
}

void ScriptableSlave::AnswerSerialRequests() {
  for (;;) {
    int64_t length = RtuRequestLength(serialIn_);
    if (length < 0) serialIn_.clear();
    if (length <= 0 || serialIn_.size() < static_cast<size_t>(length)) return;
    Bytes frame(serialIn_.begin(), serialIn_.begin() + length);
    serialIn_.erase(serialIn_.begin(), serialIn_.begin() + length);

    Reply reply = NextReply(frame);
    if (reply.kind == Misbehaviour::Silent) continue;
    Bytes pdu(frame.begin() + 1, frame.end() - 2);
    Bytes answer;
    {
      std::lock_guard lock(mutex_);
      answer = FrameRtuAnswer(frame[0], AnswerPdu(pdu, registers_, reply), reply);
    }
    Schedule(0, reply, answer);
  }
}

void ScriptableSlave::AnswerTcpRequests(Connection& connection) {
  Bytes& in = connection.in;
  while (in.size() >= 7) {
    size_t length = 6u + static_cast<size_t>(in[4] << 8 | in[5]);
    if (in.size() < length) return;
    Bytes frame(in.begin(), in.begin() + static_cast<int64_t>(length));
    in.erase(in.begin(), in.begin() + static_cast<int64_t>(length));

    Reply reply = NextReply(frame);
    if (reply.kind == Misbehaviour::Silent) continue;
    if (reply.kind == Misbehaviour::Close || reply.kind == Misbehaviour::Reset) {
      Schedule(connection.id, reply, {});
      continue;
    }
    auto transactionId = static_cast<uint16_t>(frame[0] << 8 | frame[1]);
    Bytes pdu(frame.begin() + 7, frame.end());
    Bytes answer;
    {
      std::lock_guard lock(mutex_);
      answer = FrameTcpAnswer(transactionId, frame[6], AnswerPdu(pdu, registers_, reply), reply);
    }
    Schedule(connection.id, reply, answer);
  }
}

Reply ScriptableSlave::NextReply(const Bytes& request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
  if (script_.empty()) return {};
  Reply reply = script_.front();
  script_.pop_front();
  return reply;
}

void ScriptableSlave::Schedule(uint64_t connection, const Reply& reply, const Bytes& bytes) {
  int64_t due = NowMs() + reply.delayMs;
  auto add = [&](Output output) {
    auto at = std::upper_bound(outputs_.begin(), outputs_.end(), output.dueMs,
                               [](int64_t ms, const Output& other) { return ms < other.dueMs; });
    outputs_.insert(at, std::move(output));
  };
  if (reply.kind == Misbehaviour::Close || reply.kind == Misbehaviour::Reset) {
    add({due, connection, reply.kind == Misbehaviour::Close ? OutputKind::Close : OutputKind::Reset, {}});
    return;
  }
  size_t pieces = static_cast<size_t>(std::max(1, reply.pieces));
  for (size_t i = 0; i < pieces; ++i) {
    size_t begin = bytes.size() * i / pieces;
    size_t end = bytes.size() * (i + 1) / pieces;
    if (begin == end) continue;
    add({due + static_cast<int64_t>(i) * reply.pieceGapMs, connection, OutputKind::Bytes,
         Bytes(bytes.begin() + static_cast<int64_t>(begin), bytes.begin() + static_cast<int64_t>(end))});
  }
}

void ScriptableSlave::SendDueOutputs() {
  while (!outputs_.empty() && outputs_.front().dueMs <= NowMs()) {
    Output output = std::move(outputs_.front());
    outputs_.erase(outputs_.begin());
    if (output.connection == 0) {
      [[maybe_unused]] ssize_t ignored = write(pty_.MasterFd(), output.bytes.data(), output.bytes.size());
      continue;
    }
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [&](auto& c) { return c.id == output.connection; });
    if (it == connections_.end()) continue;  // the program has hung up meanwhile
    if (output.kind == OutputKind::Bytes) {
      send(it->fd, output.bytes.data(), output.bytes.size(), MSG_NOSIGNAL);
    } else {
      CloseConnection(output.connection, output.kind == OutputKind::Reset);
    }
  }
}

void ScriptableSlave::CloseConnection(uint64_t id, bool reset) {
  auto it = std::find_if(connections_.begin(), connections_.end(), [&](auto& c) { return c.id == id; });
  if (it == connections_.end()) return;
  if (reset) {
    linger abort{1, 0};
    setsockopt(it->fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  close(it->fd);
  connections_.erase(it);
  std::erase_if(outputs_, [&](const Output& output) { return output.connection == id; });
}

int ScriptableSlave::PollTimeoutMs() const {
  if (outputs_.empty()) return -1;
  return static_cast<int>(std::max<int64_t>(0, outputs_.front().dueMs - NowMs()));
}

}  // namespace varnetik::testing
