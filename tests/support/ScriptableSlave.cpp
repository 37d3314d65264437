#include "tests/support/ScriptableSlave.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace varnetik::testing {
namespace {

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

slave::ServerSettings TestSettings() {
  slave::ServerSettings settings;
  settings.unitId = slave::ServerSettings::kAnyUnit;
  settings.addressesWrap = true;
  return settings;
}

}  // namespace

ScriptableSlave::ScriptableSlave(History history) : server_(TestSettings(), &log_) {
  log_.keeps = history == History::Every;
  // A peer that has gone must show as a failed send, not end the test process.
  signal(SIGPIPE, SIG_IGN);
  listenFd_ = LoopbackSocket(0, true);
  Require(listenFd_ >= 0, "bind");
  tcpPort_ = LocalPort(listenFd_);
  Require(pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) == 0, "pipe2");
  server_.ServeSerial(pty_.MasterFd());
  server_.ServeTcp(listenFd_);
  server_.Watch(wakePipe_[0], [this] { RunCommands(); });
  thread_ = std::thread([this] { server_.Run(); });
}

ScriptableSlave::~ScriptableSlave() {
  Post([this] { server_.Stop(); });
  thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
  if (placeholderFd_ >= 0) close(placeholderFd_);
  close(wakePipe_[0]);
  close(wakePipe_[1]);
}

void ScriptableSlave::Script(std::vector<Reply> replies) {
  Post([this, replies = std::move(replies)] { server_.Script(replies); });
}

void ScriptableSlave::SetHolding(uint16_t start, const std::vector<uint16_t>& values) {
  Post([this, start, values] {
    for (size_t k = 0; k < values.size(); ++k) server_.Registers().holding[static_cast<uint16_t>(start + k)] = values[k];
  });
}

void ScriptableSlave::SetInput(uint16_t start, const std::vector<uint16_t>& values) {
  Post([this, start, values] {
    for (size_t k = 0; k < values.size(); ++k) server_.Registers().input[static_cast<uint16_t>(start + k)] = values[k];
  });
}

std::vector<uint16_t> ScriptableSlave::Holding(uint16_t start, size_t count) const {
  std::vector<uint16_t> values;
  Call([&] {
    for (size_t k = 0; k < count; ++k) values.push_back(server_.Registers().holding[static_cast<uint16_t>(start + k)]);
  });
  return values;
}

std::vector<Bytes> ScriptableSlave::Requests() const {
  std::vector<Bytes> requests;
  Call([&] { requests = log_.frames; });
  return requests;
}

std::vector<Bytes> ScriptableSlave::WaitForRequests(size_t count, std::chrono::milliseconds bound) const {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::vector<Bytes> requests = Requests();
  while (requests.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    requests = Requests();
  }
  return requests;
}

int ScriptableSlave::ConnectionsAccepted() const {
  int accepted = 0;
  Call([&] { accepted = server_.ConnectionsAccepted(); });
  return accepted;
}

void ScriptableSlave::StopListening() {
  Call([this] {
    server_.StopListening();
    close(listenFd_);
    listenFd_ = -1;
    placeholderFd_ = LoopbackSocket(tcpPort_, false);
  });
}

void ScriptableSlave::ResetConnections() {
  Call([this] { server_.ResetConnections(); });
}

void ScriptableSlave::Post(std::function<void()> command) const {
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex_);
    wasEmpty = commands_.empty();
    commands_.push_back(std::move(command));
  }
  // One wake-up per batch: the loop drains the pipe before it takes the commands, so a command queued
  // behind others is taken with them.
  if (wasEmpty) {
    [[maybe_unused]] ssize_t ignored = write(wakePipe_[1], "x", 1);
  }
}

void ScriptableSlave::Call(const std::function<void()>& command) const {
  std::promise<void> done;
  Post([&] {
    command();
    done.set_value();
  });
  done.get_future().wait();
}

void ScriptableSlave::RunCommands() {
  char drain[64];
  while (read(wakePipe_[0], drain, sizeof drain) > 0) {
  }
  std::vector<std::function<void()>> commands;
  {
    std::lock_guard lock(mutex_);
    commands.swap(commands_);
  }
  for (auto& command : commands) command();
}

}  // namespace varnetik::testing
