// A pseudo-terminal standing in for a serial line, with the device's side played byte by byte. The link
// opens the terminal side by its path; the test plays the device on the master side. The terminal side
// keeps the kernel's default settings until the link configures it, so a test can see what the open
// changed.
#pragma once

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "tests/support/PtyPair.h"

namespace varnetik::testing {

class TerminalPair : public PtyPair {
 public:
  TerminalPair() : PtyPair(Settings::KernelDefaults) {}

  termios TerminalSettings() const {
    termios settings{};
    tcgetattr(TerminalFd(), &settings);
    return settings;
  }

  // What the device sends.
  void Send(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t put = write(MasterFd(), bytes.data() + done, bytes.size() - done);
      if (put > 0) {
        done += static_cast<size_t>(put);
      } else {
        pollfd ready{MasterFd(), POLLOUT, 0};
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
      ssize_t got = read(MasterFd(), bytes.data() + done, count - done);
      if (got > 0) {
        done += static_cast<size_t>(got);
      } else {
        pollfd ready{MasterFd(), POLLIN, 0};
        poll(&ready, 1, 10);
      }
    }
    bytes.resize(done);
    return bytes;
  }

};

// The kernel hands bytes from the master to the terminal side a moment later; waits until the port's
// input queue holds at least count bytes.
inline bool WaitUntilWaiting(const SerialPort& port, int64_t count, int timeoutMs = 2000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (port.BytesWaiting() < count) {
    if (std::chrono::steady_clock::now() >= end) return false;
    port.WaitForInput(1);
  }
  return true;
}

// Every setting of a line the same, speed included.
inline void ExpectSameLine(const termios& before, const termios& after) {
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  for (size_t i = 0; i < NCCS; ++i) EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << i;
}

inline int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
      .count();
}

}  // namespace varnetik::testing
