// TCP answers per second of varnetik-slave's server with many clients at once, against libmodbus's own
// TCP server (the select-style loop of modbus_receive and modbus_reply) in the same run. One driver
// thread keeps one read request outstanding on every connection and sends the next as soon as an
// answer is in, so the servers, not the clients, set the pace. The two servers take turns round by
// round, so that whatever else the machine does falls on both alike.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/BenchFigures.h"
#include "slave/SlaveServer.h"
#include "tests/support/LibmodbusSlave.h"

namespace varnetik::bench {

namespace {

using testing::LibmodbusSlave;

constexpr int kClients = 64;
constexpr int kRounds = 5;
constexpr int64_t kWarmUpNs = 200'000'000;
constexpr int64_t kRoundNs = 1'000'000'000;
constexpr uint8_t kReadCount = 10;
constexpr size_t kAnswerSize = 9 + 2 * kReadCount;

void Require(bool ok, const char* what) {
  if (ok) return;
  std::perror(what);
  std::exit(2);
}

// varnetik-slave's server, set as the program sets it, on a thread of its own.
class OurSlave {
 public:
  OurSlave() : server_(Settings()) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Require(bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
    Require(listen(listenFd_, kClients) == 0, "listen");
    socklen_t size = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    Require(pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) == 0, "pipe2");
    server_.ServeTcp(listenFd_);
    server_.Watch(stopPipe_[0], [this] { server_.Stop(); });
    thread_ = std::thread([this] { server_.Run(); });
  }
  ~OurSlave() {
    [[maybe_unused]] ssize_t ignored = write(stopPipe_[1], "x", 1);
    thread_.join();
    for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]}) close(fd);
  }
  uint16_t Port() const { return port_; }

 private:
  static slave::ServerSettings Settings() {
    slave::ServerSettings settings;
    settings.liveInputs = true;
    return settings;
  }

  slave::SlaveServer server_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
};

struct Client {
  int fd = -1;
  uint16_t transactionId = 0;
  std::vector<uint8_t> in;
};

void SendRequest(Client& client) {
  ++client.transactionId;
  const uint8_t request[] = {static_cast<uint8_t>(client.transactionId >> 8),
                             static_cast<uint8_t>(client.transactionId & 0xFF), 0, 0, 0, 6, 1, 0x03, 0, 0, 0,
                             kReadCount};
  Require(send(client.fd, request, sizeof request, MSG_NOSIGNAL) == sizeof request, "send");
}

// Takes the answers that are complete; false when one is not the answer to the request sent.
bool TakeAnswers(Client& client, int64_t& answers) {
  while (client.in.size() >= kAnswerSize) {
    const uint16_t id = static_cast<uint16_t>(client.in[0] << 8 | client.in[1]);
    if (id != client.transactionId || client.in[7] != 0x03 || client.in[8] != 2 * kReadCount) return false;
    client.in.erase(client.in.begin(), client.in.begin() + kAnswerSize);
    ++answers;
    SendRequest(client);
  }
  return true;
}

// Answers per second over kClients connections for one round; negative when an answer was wrong.
double MeasureRound(uint16_t port) {
  std::vector<Client> clients(kClients);
  std::vector<pollfd> fds;
  for (Client& client : clients) {
    client.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    Require(connect(client.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "connect");
    int on = 1;
    setsockopt(client.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    fcntl(client.fd, F_SETFL, O_NONBLOCK);
    fds.push_back({client.fd, POLLIN, 0});
    SendRequest(client);
  }
  int64_t answers = 0;
  int64_t countedFrom = 0;
  bool ok = true;
  const int64_t start = MonotonicNs();
  int64_t now = start;
  while (ok && now - start < kWarmUpNs + kRoundNs) {
    Require(poll(fds.data(), fds.size(), 1000) > 0, "poll: no answer within a second");
    for (size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].revents == 0) continue;
      uint8_t chunk[4096];
      const ssize_t n = recv(fds[k].fd, chunk, sizeof chunk, 0);
      Require(n > 0, "recv");
      clients[k].in.insert(clients[k].in.end(), chunk, chunk + n);
      ok = TakeAnswers(clients[k], answers) && ok;
    }
    now = MonotonicNs();
    if (countedFrom == 0 && now - start >= kWarmUpNs) countedFrom = answers;
  }
  for (const Client& client : clients) close(client.fd);
  if (!ok) return -1.0;
  return static_cast<double>(answers - countedFrom) / (static_cast<double>(now - start - kWarmUpNs) / 1e9);
}

}  // namespace

int Main() {
  std::printf("== Slave TCP throughput\n");
  OurSlave ours;
  LibmodbusSlave theirs(LibmodbusSlave::Link::Tcp);
  std::vector<double> ourRates;
  std::vector<double> theirRates;
  for (int round = 0; round < kRounds; ++round) {
    // Who goes first changes every round.
    if (round % 2 == 0) {
      ourRates.push_back(MeasureRound(ours.Port()));
      theirRates.push_back(MeasureRound(theirs.TcpPort()));
    } else {
      theirRates.push_back(MeasureRound(theirs.TcpPort()));
      ourRates.push_back(MeasureRound(ours.Port()));
    }
  }
  std::printf("  %d clients at once, each a read of %u holding registers at a time, %d rounds of %.1f s:\n",
              kClients, kReadCount, kRounds, static_cast<double>(kRoundNs) / 1e9);
  std::printf("  varnetik-slave  median %s  min %s\n", Figure(Median(ourRates), "answers/s", 0).c_str(),
              Figure(Percentile(ourRates, 1), "answers/s", 0).c_str());
  std::printf("  libmodbus       median %s  min %s\n", Figure(Median(theirRates), "answers/s", 0).c_str(),
              Figure(Percentile(theirRates, 1), "answers/s", 0).c_str());
  const bool allRight = Percentile(ourRates, 1) > 0 && Percentile(theirRates, 1) > 0;
  if (!allRight) std::printf("  an answer did not match its request\n");
  const double ratio = Median(ourRates) / Median(theirRates);
  char measured[64];
  std::snprintf(measured, sizeof measured, "ratio of medians %.2f", ratio);
  PrintTarget("varnetik-slave answers at least as many TCP requests per second as libmodbus's server",
              allRight && ratio >= 1.0, measured);
  return 0;
}

}  // namespace varnetik::bench

int main() { return varnetik::bench::Main(); }
