// A pseudo-terminal standing in for a serial line. The link opens the terminal side by its path; the
// test plays the device on the master side. The terminal side keeps the kernel's default settings (echo,
// line editing, XON/XOFF on) until the link configures it, so a test can see what the open changed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/SerialPort.h"

namespace varnetik::testing {

class TerminalPair {
 public:
  TerminalPair() {
    char name[128] = {};
    if (openpty(&master_, &terminal_, name, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return;
    }
    path_ = name;
    // Only the master's file flags: termios requests on a master act on the terminal side.
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(terminal_, F_SETFD, FD_CLOEXEC);
  }
  ~TerminalPair() {
    CloseMaster();
    if (terminal_ >= 0) close(terminal_);
  }
  TerminalPair(const TerminalPair&) = delete;
  TerminalPair& operator=(const TerminalPair&) = delete;

  const std::string& Path() const { return path_; }
  int MasterFd() const { return master_; }
  // Held open by the test, so the terminal's settings can be read back and the line never hangs up.
  int TerminalFd() const { return terminal_; }

  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

  termios TerminalSettings() const {
    termios settings{};
    tcgetattr(terminal_, &settings);
    return settings;
  }

  // What the device sends.
  void Send(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t put = write(master_, bytes.data() + done, bytes.size() - done);
      if (put > 0) {
        done += static_cast<size_t>(put);
      } else {
        pollfd ready{master_, POLLOUT, 0};
        poll(&ready, 1, 10);
      }
    }
  }

  // What the device receives: count bytes, or fewer when timeoutMs passes first.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs = 2000) const {
    std::vector<uint8_t> bytes(count);
    size_t done = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (done < count && std::chrono::steady_clock::now() < end) {
      ssize_t got = read(master_, bytes.data() + done, count - done);
      if (got > 0) {
        done += static_cast<size_t>(got);
      } else {
        pollfd ready{master_, POLLIN, 0};
        poll(&ready, 1, 10);
      }
    }
    bytes.resize(done);
    return bytes;
  }

 private:
  int master_ = -1;
  int terminal_ = -1;
  std::string path_;
};

// The kernel hands bytes from the master to the terminal side a moment later; waits until the port's
// input queue holds at least count bytes.
inline bool WaitUntilWaiting(int64_t port, int64_t count, int timeoutMs = 2000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (SerialBytesWaiting(port) < count) {
    if (std::chrono::steady_clock::now() >= end) return false;
    SerialWaitForInput(port, 1);
  }
  return true;
}

inline int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
      .count();
}

}  // namespace varnetik::testing
