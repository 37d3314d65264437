#include "tests/slave/SlaveProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace varnetik::testing {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A slave that should have ended by itself but has not is killed after this long.
constexpr int kRunLimitMs = 10000;

// Everything fd gives until its end, or until timeoutMs have passed.
std::string ReadToEnd(int fd, int timeoutMs = kRunLimitMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  std::string text;
  char chunk[4096];
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    const int64_t left = deadline - NowMs();
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return text;
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return text;
    text.append(chunk, static_cast<size_t>(n));
  }
}

int WaitForExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

pid_t Spawn(const std::vector<std::string>& arguments, int& in, int& out, int& err, int descriptorLimit = 0) {
  int pipes[3][2];
  for (auto& pipe : pipes) EXPECT_EQ(pipe2(pipe, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipes[0][0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipes[1][1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipes[2][1], STDERR_FILENO);
  std::vector<std::string> all{VARNETIK_SLAVE_BINARY};
  // The limit is set in a shell of the child's own, so that the tests keep theirs. Descriptors the test
  // runner may have passed on are closed, so that the slave has exactly the room it is given.
  if (descriptorLimit > 0) {
    all = {"/bin/sh", "-c",
           "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- && ulimit -n " + std::to_string(descriptorLimit) +
               " && exec \"$0\" \"$@\"",
           VARNETIK_SLAVE_BINARY};
  }
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(pipes[0][0]);
  close(pipes[1][1]);
  close(pipes[2][1]);
  in = pipes[0][1];
  out = pipes[1][0];
  err = pipes[2][0];
  return pid;
}

bool Has(const std::vector<std::string>& arguments, const std::string& option) {
  for (const std::string& argument : arguments) {
    if (argument.rfind(option, 0) == 0) return true;
  }
  return false;
}

}  // namespace

SlaveProcess::SlaveProcess(const std::vector<std::string>& arguments, int descriptorLimit) {
  pid_ = Spawn(arguments, in_, out_, err_, descriptorLimit);
  fcntl(out_, F_SETFL, O_NONBLOCK);
  if (Has(arguments, "--pty")) {
    ptyPath_ = LineStartingWith("/dev/");
    EXPECT_NE(ptyPath_, "") << "no pseudo-terminal path printed";
  }
  if (Has(arguments, "--listen")) {
    const std::string line = LineStartingWith("listening on ");
    EXPECT_NE(line, "") << "no listening line printed";
    if (!line.empty()) tcpPort_ = static_cast<uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
  }
}

SlaveProcess::~SlaveProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, err_}) {
    if (fd >= 0) close(fd);
  }
}

std::string SlaveProcess::LineStartingWith(const std::string& prefix, int timeoutMs) {
  return NextLineWhere([](const std::string& line, const std::string& text) { return line.rfind(text, 0) == 0; },
                       prefix, timeoutMs);
}

std::string SlaveProcess::LineContaining(const std::string& text, int timeoutMs) {
  return NextLineWhere(
      [](const std::string& line, const std::string& part) { return line.find(part) != std::string::npos; }, text,
      timeoutMs);
}

std::string SlaveProcess::NextLineWhere(bool (*match)(const std::string& line, const std::string& text),
                                        const std::string& text, int timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    for (size_t end; (end = buffered_.find('\n')) != std::string::npos;) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      if (match(line, text)) return line;
    }
    const int64_t left = deadline - NowMs();
    if (left <= 0 || !KeepOutput(static_cast<int>(left))) return "";
  }
}

bool SlaveProcess::KeepOutput(int timeoutMs) {
  pollfd fd{out_, POLLIN, 0};
  if (poll(&fd, 1, timeoutMs) <= 0) return false;
  char chunk[4096];
  const ssize_t n = read(out_, chunk, sizeof chunk);
  if (n <= 0) return false;
  buffered_.append(chunk, static_cast<size_t>(n));
  return true;
}

void SlaveProcess::AwaitQuiet(int quietMs) {
  const int64_t deadline = NowMs() + kRunLimitMs;
  while (NowMs() < deadline && KeepOutput(quietMs)) {
  }
}

bool SlaveProcess::Type(const std::string& line) {
  const std::string typed = line + "\n";
  return write(in_, typed.data(), typed.size()) == static_cast<ssize_t>(typed.size());
}

bool SlaveProcess::Fault(const std::string& mode) {
  return Type("fault " + mode) && LineStartingWith("fault " + mode) == "fault " + mode;
}

int SlaveProcess::Stop(int signal) {
  kill(pid_, signal);
  // Until its output ends with it (or the run limit passes).
  const int64_t deadline = NowMs() + kRunLimitMs;
  while (NowMs() < deadline && KeepOutput(static_cast<int>(deadline - NowMs()))) {
  }
  const int status = WaitForExit(pid_);
  pid_ = -1;
  return status;
}

std::string SlaveProcess::ErrorOutput() { return ReadToEnd(err_); }

SlaveRun RunSlaveToEnd(const std::vector<std::string>& arguments) {
  int in = -1, out = -1, err = -1;
  const pid_t pid = Spawn(arguments, in, out, err);
  close(in);
  SlaveRun run{0, ReadToEnd(out), ReadToEnd(err, 1000)};
  kill(pid, SIGKILL);  // only if it is still running after the limit, which fails the test's status check
  run.status = WaitForExit(pid);
  close(out);
  close(err);
  return run;
}

namespace {

modbus_t* Connected(modbus_t* master, int timeoutMs) {
  EXPECT_NE(master, nullptr);
  if (master == nullptr) return nullptr;
  modbus_set_slave(master, 1);
  modbus_set_response_timeout(master, 0, static_cast<uint32_t>(timeoutMs) * 1000);
  EXPECT_EQ(modbus_connect(master), 0) << modbus_strerror(errno);
  return master;
}

}  // namespace

modbus_t* RtuMaster(const std::string& path, int timeoutMs) {
  return Connected(modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1), timeoutMs);
}

modbus_t* TcpMaster(uint16_t port, int timeoutMs) { return Connected(modbus_new_tcp("127.0.0.1", port), timeoutMs); }

void CloseMaster(modbus_t* master) {
  if (master == nullptr) return;
  modbus_close(master);
  modbus_free(master);
}

}  // namespace varnetik::testing
