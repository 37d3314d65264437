#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "slave/ProgramInput.h"

namespace varnetik::slave {

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  [[maybe_unused]] ssize_t ignored = write(stopPipe[1], "s", 1);
  errno = saved;
}

// Standard input cut into lines, as much as one read brings.
class LineReader {
 public:
  LineReader(SlaveServer& server, std::function<void(const std::string&)> onLine)
      : server_(server), onLine_(std::move(onLine)) {}

  void ReadAvailable() {
    char chunk[256];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
      // At its end (or gone) standard input stays readable; the slave goes on without it.
      server_.Unwatch(STDIN_FILENO);
      return;
    }
    pending_.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      onLine_(line);
    }
  }

 private:
  SlaveServer& server_;
  std::function<void(const std::string&)> onLine_;
  std::string pending_;
};

}  // namespace

bool WatchProgramInput(SlaveServer& server, std::function<void(const std::string& line)> onLine,
                       std::string& error) {
  if (pipe2(stopPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // The terminal window closed: the same clean stop, so that --save is written.
  sigaction(SIGHUP, &action, nullptr);
  // A client that has gone shows as a failed send, not as the end of the slave.
  signal(SIGPIPE, SIG_IGN);
  server.Watch(stopPipe[0], [&server] { server.Stop(); });
  auto reader = std::make_shared<LineReader>(server, std::move(onLine));
  server.Watch(STDIN_FILENO, [reader] { reader->ReadAvailable(); });
  return true;
}

}  // namespace varnetik::slave
