// The serial port on POSIX terminals (termios, ioctl, poll).
#include "serial/SerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <utility>

#include "modbus/MonotonicClock.h"
#include "serial/PortName.h"
#include "serial/TermiosLine.h"

namespace varnetik {

namespace {

// Terminal numbers that are no line of their own: /dev/tty (whatever terminal the caller has),
// /dev/console and /dev/tty0 (whatever the kernel's console is), /dev/ptmx (a new, unconnected master
// at every open). Opened by those names a port would slip past every check made on its own name.
constexpr unsigned kAliasMajor = 5;
constexpr unsigned kTtyAliasMinor = 0;
constexpr unsigned kConsoleAliasMinor = 1;
constexpr unsigned kPtmxMinor = 2;
constexpr unsigned kVirtualConsoleMajor = 4;
constexpr unsigned kCurrentVirtualConsoleMinor = 0;
// Pseudo-terminal masters: the old BSD ones, and the Unix 98 ones behind /dev/ptmx.
constexpr unsigned kBsdPtyMasterMajor = 2;
constexpr unsigned kPtyMasterFirstMajor = 128;
constexpr unsigned kPtyMasterLastMajor = 135;

bool IsAliasOrMaster(dev_t number) {
  const unsigned numberMajor = major(number);
  const unsigned numberMinor = minor(number);
  if (numberMajor == kAliasMajor) {
    return numberMinor == kTtyAliasMinor || numberMinor == kConsoleAliasMinor || numberMinor == kPtmxMinor;
  }
  if (numberMajor == kVirtualConsoleMajor) return numberMinor == kCurrentVirtualConsoleMinor;
  return numberMajor == kBsdPtyMasterMajor ||
         (numberMajor >= kPtyMasterFirstMajor && numberMajor <= kPtyMasterLastMajor);
}

PortRefusal RefusalOfError(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return PortRefusal::PermissionDenied;
    case EBUSY: return PortRefusal::InUse;  // the exclusive flag of another opener
    case ENOTTY: return PortRefusal::NotATerminal;
    default: return PortRefusal::NoSuchDevice;
  }
}

PortOpenResult InUseBy(const std::string& procRoot, int64_t pid) {
  return PortOpenResult::Refused(PortRefusal::InUse, pid, pid != 0 ? ProgramNameOf(procRoot, pid) : "");
}

// Whether the kernel sends its console output to this device (/sys/class/tty/console/active lists the
// names, "tty0 ttyS0"): a probe would set its line to 9600 under the kernel's messages.
bool IsActiveConsole(const std::string& path, const std::string& consoleList) {
  int fd = open(consoleList.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  char text[256] = {};
  ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return false;
  std::string resolved = path;
  if (char* real = realpath(path.c_str(), nullptr)) {
    resolved = real;
    std::free(real);
  }
  const std::string name = resolved.substr(resolved.find_last_of('/') + 1);
  std::istringstream names(std::string(text, static_cast<size_t>(got)));
  for (std::string listed; names >> listed;) {
    if (listed == name) return true;
  }
  return false;
}

// What the name leads to now, if it is a serial line of its own.
PortOpenResult CheckNode(const std::string& path, const PortClaimRules& rules, DeviceIdentity& device) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0) return PortOpenResult::Refused(RefusalOfError(errno));
  if (!S_ISCHR(node.st_mode) || IsAliasOrMaster(node.st_rdev)) {
    return PortOpenResult::Refused(PortRefusal::NotATerminal);
  }
  device = {node.st_rdev, node.st_dev, node.st_ino};
  if (rules.purpose == PortClaimRules::Purpose::Probe && IsActiveConsole(path, rules.paths.consoleList)) {
    return PortOpenResult::Refused(PortRefusal::InUse);
  }
  return {};
}

// Makes sure no other process has the device open, then takes the port's lock files. /proc comes
// first: a lock is only ever taken over when nobody is seen on the line. A port that fails here has not
// been opened, so nothing on it has changed.
PortOpenResult ClaimPort(const std::string& path, const PortClaimRules& rules, const DeviceIdentity& device,
                         PortLockFile& lock) {
  if (int64_t holder = rules.users.HolderOf(device)) return InUseBy(rules.paths.procRoot, holder);
  const StaleLocks stale =
      rules.purpose == PortClaimRules::Purpose::Probe ? StaleLocks::LeaveAlone : StaleLocks::TakeOver;
  const PortLockFile::Outcome locked = lock.Take(path, rules.paths.lockDirectories, stale);
  if (locked.refused) {
    return PortOpenResult::Refused(PortRefusal::Locked, locked.holder,
                                   locked.holder != 0 ? ProgramNameOf(rules.paths.procRoot, locked.holder) : "");
  }
  return {};
}

// Why the descriptor is not the terminal that was checked, if it is not: another node behind the name
// by now (an adapter replugged, a link changed), or a terminal other than the one named (TIOCGDEV tells
// which one the kernel really opened).
PortRefusal MismatchOf(int fd, const DeviceIdentity& device) {
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || opened.st_rdev != device.number || opened.st_dev != device.fileSystem ||
      opened.st_ino != device.inode) {
    return PortRefusal::NoSuchDevice;
  }
  unsigned int terminal = 0;
  if (ioctl(fd, TIOCGDEV, &terminal) != 0) return PortRefusal::NotATerminal;
  const dev_t opensAs = static_cast<dev_t>(terminal);
  const bool same = major(opensAs) == major(device.number) && minor(opensAs) == minor(device.number);
  return same ? PortRefusal::None : PortRefusal::NotATerminal;
}

PortOpenResult OpenExclusive(const std::string& path, const PortClaimRules& rules, const DeviceIdentity& device,
                             int& fd) {
  // Non-blocking so that a missing carrier never holds the open; reads rely on it never waiting too.
  fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return PortOpenResult::Refused(RefusalOfError(errno));
  // TIOCEXCL does not stop a privileged opener, so its flag is checked by hand; the lock keeps out every
  // program that locks as well. The flag is set last: a refused open must not leave it on a port that
  // somebody else holds, nor take it away from them.
  PortOpenResult result;
  int exclusive = 0;
  if (PortRefusal mismatch = MismatchOf(fd, device); mismatch != PortRefusal::None) {
    result = PortOpenResult::Refused(mismatch);
  } else if ((ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) || flock(fd, LOCK_EX | LOCK_NB) != 0 ||
             ioctl(fd, TIOCEXCL) != 0) {
    result = PortOpenResult::Refused(PortRefusal::InUse);
  } else if (int64_t holder = PortUsers::Gather(rules.paths.procRoot).HolderOf(device)) {
    // Somebody opened the port after the first look and before the exclusive flag was on.
    ioctl(fd, TIOCNXCL);
    result = InUseBy(rules.paths.procRoot, holder);
  }
  if (!result) {
    close(fd);
    fd = -1;
  }
  return result;
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

PortOpenResult SerialPort::Open(const std::string& portName, const LineSettings& line, int64_t /*rxQueueSize*/,
                                int64_t /*txQueueSize*/, const PortClaimRules& rules) {
  // First, because the port asked for may be the one held.
  Close();
  const std::string path = DevicePathForPortName(portName);
  DeviceIdentity device;
  PortLockFile portLock;
  int fd = -1;
  PortOpenResult result = CheckNode(path, rules, device);
  if (result) result = ClaimPort(path, rules, device, portLock);
  if (result) result = OpenExclusive(path, rules, device, fd);
  if (!result) return result;
  SavedLine found;
  if (!SaveLine(fd, found)) {
    ReleasePort(fd);
    return PortOpenResult::Refused(PortRefusal::NotATerminal);
  }
  if (!ConfigureLine(fd, line)) {
    // A driver may have taken part of the settings before it refused the rest.
    RestoreLine(fd, found);
    ReleasePort(fd);
    return PortOpenResult::Refused(PortRefusal::SettingsRefused);
  }
  if (line.handshake == 0) {
    int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &rts);  // fails on a pseudo-terminal, which has no modem lines
  }
  if (rules.purpose == PortClaimRules::Purpose::Probe) {
    // The port took the settings; whoever uses it next finds it as it was.
    RestoreLine(fd, found);
  } else {
    RequestLowLatency(fd);
  }
  handle_ = fd;
  lock_ = std::move(portLock);
  timeouts_ = PortTimeouts{};
  outputMayStall_ = line.handshake != 0;
  result.withoutLockFile = !lock_.HoldsAny();
  result.othersUnchecked = rules.users.Uninspected() > 0;
  return result;
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
