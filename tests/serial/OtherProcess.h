// Another program on the same machine, played by a child process: one that opened a terminal plainly
// (a terminal program, a logger), one that made a pseudo-terminal pair and holds both ends (socat), or
// one that only runs (the owner of a lock file). It keeps what it holds until the test object goes.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace varnetik::testing {

class OtherProcess {
 public:
  enum class Holds { Nothing, Terminal, OwnPair };

  // For Holds::Terminal, path is the terminal it opens. Returns once the child holds it.
  explicit OtherProcess(Holds holds, const std::string& path = {}) {
    int ready[2];
    if (pipe(ready) != 0) std::abort();
    pid_ = fork();
    if (pid_ < 0) std::abort();
    if (pid_ == 0) RunChild(holds, path, ready[1]);
    close(ready[1]);
    char text[128] = {};
    ssize_t got = read(ready[0], text, sizeof text - 1);
    close(ready[0]);
    if (got <= 0) std::abort();
    pairPath_.assign(text, static_cast<size_t>(got));
  }
  ~OtherProcess() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // For Holds::OwnPair: the terminal side of the pair the child made.
  const std::string& PairPath() const { return pairPath_; }

 private:
  // The child must not keep the test's own descriptors (its pseudo-terminals among them): it would then
  // hold both ends of the test's pairs.
  [[noreturn]] static void RunChild(Holds holds, const std::string& path, int ready) {
    int channel = dup2(ready, 1023);
    close_range(3, 1022, 0);
    std::string report = "-";
    if (holds == Holds::Terminal && open(path.c_str(), O_RDWR | O_NOCTTY) < 0) _exit(1);
    if (holds == Holds::OwnPair) {
      int master = -1;
      int terminal = -1;
      char name[128] = {};
      if (openpty(&master, &terminal, name, nullptr, nullptr) != 0) _exit(1);
      report = name;
    }
    if (write(channel, report.data(), report.size()) < 0) _exit(1);
    close(channel);
    for (;;) pause();
  }

  pid_t pid_ = -1;
  std::string pairPath_;
};

// The id of a process that has ended, as found in a lock file left behind by a crash.
inline pid_t PidOfAnEndedProcess() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

}  // namespace varnetik::testing
