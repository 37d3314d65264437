// The serial port on POSIX terminals (termios, ioctl, poll).
#include "serial/SerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "modbus/MonotonicClock.h"
#include "serial/PortName.h"
#include "serial/TermiosLine.h"

namespace varnetik {

namespace {

// Takes the port's lock file and makes sure no other process has the device open; device receives its
// number. A port that fails here has not been opened, so nothing on it has changed.
bool ClaimPort(const std::string& path, const PortClaimRules& rules, PortLockFile& lock, dev_t& device) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return false;
  device = status.st_rdev;
  // The lock first: from then on every program that honours lock files stays away.
  return lock.Take(path, rules.lockDirectory) && !rules.users.HeldByAnother(device);
}

int OpenExclusive(const std::string& path, dev_t device) {
  // Non-blocking so that a missing carrier never holds the open; reads rely on it never waiting too.
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  // The name must still lead to the device that was checked (an adapter may have been replugged).
  // TIOCEXCL does not stop a privileged opener, so its flag is checked by hand; the lock keeps out every
  // program that locks as well. The flag is set last: a refused open must not leave it on a port that
  // somebody else holds.
  struct stat opened {};
  int exclusive = 0;
  bool heldElsewhere = fstat(fd, &opened) != 0 || opened.st_rdev != device ||
                       (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0);
  if (heldElsewhere || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool ConfigureLine(int fd, const LineSettings& line) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  if (!ApplyLineSettings(settings, line)) return false;
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return false;
  // tcsetattr succeeds when any part was applied; a speed the driver did not take is a refusal. The
  // character size and parity are not checked back: a pseudo-terminal (a virtual port) always reports
  // 8 bits without parity, and refusing 8E1 there would make it useless.
  termios applied{};
  if (tcgetattr(fd, &applied) != 0) return false;
  return cfgetospeed(&applied) == cfgetospeed(&settings);
}

// USB adapters hold received bytes back for up to 16 ms unless told otherwise (FTDI's latency timer),
// longer than a whole short response on the wire. A driver without the flag, or a pseudo-terminal,
// refuses; the port then works as it is.
void RequestLowLatency(int fd) {
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0) return;
  info.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &info);
}

void ReleasePort(int fd) {
  // Drop the exclusive flag before the close: if the terminal stays open elsewhere it must not keep it.
  ioctl(fd, TIOCNXCL);
  close(fd);
}

// Waits until the driver's output queue is empty, then for the transmitter itself. Returns the bytes
// still queued when the deadline passed first. Without handshake the transmitter always empties the
// queue at the line's rate, so the drain alone is bounded and one call does; with handshake a peer can
// hold the output back for ever, so the queue is watched against the deadline first.
int64_t WaitUntilSent(int fd, int64_t deadlineMs, bool outputMayStall) {
  while (outputMayStall) {
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
    if (MonotonicMs() >= deadlineMs) return queued;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  tcdrain(fd);
  return 0;
}

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

bool SerialPort::Open(const std::string& portName, const LineSettings& line, int64_t /*rxQueueSize*/,
                      int64_t /*txQueueSize*/, const PortClaimRules& rules) {
  // First, because the port asked for may be the one held.
  Close();
  const std::string path = DevicePathForPortName(portName);
  PortLockFile portLock;
  dev_t device = 0;
  if (!ClaimPort(path, rules, portLock, device)) return false;
  int fd = OpenExclusive(path, device);
  if (fd < 0) return false;
  if (!ConfigureLine(fd, line)) {
    ReleasePort(fd);
    return false;
  }
  if (line.handshake == 0) {
    int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &rts);  // fails on a pseudo-terminal, which has no modem lines
  }
  RequestLowLatency(fd);
  handle_ = fd;
  lock_ = std::move(portLock);
  timeouts_ = PortTimeouts{};
  outputMayStall_ = line.handshake != 0;
  return true;
}

bool SerialPort::SetTimeouts(const PortTimeouts& timeouts) {
  if (!IsOpen()) return false;
  timeouts_ = timeouts;
  return true;
}

int64_t SerialPort::BytesWaiting() const {
  int waiting = 0;
  if (!IsOpen() || ioctl(Descriptor(handle_), FIONREAD, &waiting) != 0) return 0;
  return waiting;
}

int64_t SerialPort::Read(uint8_t* destination, int64_t count) {
  if (count <= 0 || !IsOpen()) return 0;
  for (;;) {
    ssize_t got = read(Descriptor(handle_), destination, static_cast<size_t>(count));
    if (got >= 0) return got;
    if (errno != EINTR) return 0;
  }
}

int64_t SerialPort::Write(const uint8_t* source, int64_t count) {
  if (count <= 0 || !IsOpen()) return 0;
  const int fd = Descriptor(handle_);
  const int64_t deadline =
      MonotonicMs() + timeouts_.writeTotalConstantMs + timeouts_.writeTotalMultiplierMs * count;
  int64_t written = 0;
  while (written < count) {
    ssize_t put = write(fd, source + written, static_cast<size_t>(count - written));
    if (put > 0) {
      written += put;
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put == 0 || errno != EAGAIN) return written;
    int64_t remaining = deadline - MonotonicMs();
    if (remaining <= 0) return written;
    pollfd ready{fd, POLLOUT, 0};
    if (poll(&ready, 1, static_cast<int>(std::min<int64_t>(remaining, 60000))) < 0 && errno != EINTR) {
      return written;
    }
  }
  return std::max<int64_t>(0, count - WaitUntilSent(fd, deadline, outputMayStall_));
}

void SerialPort::Close() {
  if (!IsOpen()) return;
  // The device goes before its lock file, so nobody is let in while this program still holds it.
  ReleasePort(Descriptor(std::exchange(handle_, kNoHandle)));
  lock_.Release();
  timeouts_ = PortTimeouts{};
  outputMayStall_ = false;
}

void SerialPort::WaitForInput(int maxMs) const {
  if (maxMs <= 0) return;
  if (!IsOpen()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(maxMs));
    return;
  }
  pollfd ready{Descriptor(handle_), POLLIN, 0};
  int result = poll(&ready, 1, maxMs);
  if (result > 0 && (ready.revents & POLLIN) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(maxMs));
  }
}

}  // namespace varnetik
