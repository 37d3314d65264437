// A serial port this program holds: the six operations the link stands on, plus the short wait for input
// that replaces a blind pause while a response is collected. The object owns the device, its lock file
// and its timeouts, so a closed or handed-over port can never reach a device that is no longer its own:
// it cannot be copied, a moved-from port is closed, and the destructor closes. The interface speaks in
// this program's own terms; the platform's details stay in its implementation file, and what both
// platforms do alike (owning, handing over, opening with the rules of the moment) is defined here. The
// notes below describe SerialPort.cpp (POSIX terminals). SerialPortWin32.cpp, the Windows one, opens
// \\.\COMn with share mode 0, which alone keeps other programs out (no lock file, no look at other
// processes), takes any baud rate the driver accepts, and its wait for input is a plain pause.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "serial/LineSettings.h"
#include "serial/PortLockFile.h"
#include "serial/PortOpenResult.h"
#include "serial/PortUsers.h"

namespace varnetik {

// Where the system keeps what an open looks at: the processes and their descriptors, the UUCP lock
// directories, the list of devices the kernel's console writes to. A test points them at a tree of its
// own, so that other users' processes, stalled mounts and planted locks need no privileges.
struct SystemPaths {
  std::string procRoot = kDefaultProcRoot;
  LockDirectories lockDirectories;
  std::string consoleList = "/sys/class/tty/console/active";
};

// What an open checks before it changes anything on a port: the devices other processes hold, gathered
// once for a whole scan, and the lock files. A probe (the port scan) leaves stale locks alone, never
// touches the kernel console, and puts the line back as it found it.
struct PortClaimRules {
  enum class Purpose { Use, Probe };

  SystemPaths paths;
  Purpose purpose = Purpose::Use;
  PortUsers users = PortUsers::Gather(paths.procRoot);
};

// Reads here never wait, so only the write bound (writeTotalConstantMs + writeTotalMultiplierMs x count)
// has an effect; the read values are kept as given. The defaults are what a port starts with.
struct PortTimeouts {
  int64_t readIntervalMs = 0;
  int64_t readTotalConstantMs = 0;
  int64_t readTotalMultiplierMs = 0;
  int64_t writeTotalConstantMs = 10;
  int64_t writeTotalMultiplierMs = 100;
};

class SerialPort {
 public:
  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  // Both leave other closed; the assignment closes the port held before.
  SerialPort(SerialPort&& other) noexcept
      : handle_(std::exchange(other.handle_, kNoHandle)),
        lock_(std::move(other.lock_)),
        timeouts_(std::exchange(other.timeouts_, {})),
        outputMayStall_(std::exchange(other.outputMayStall_, false)) {}
  SerialPort& operator=(SerialPort&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, kNoHandle);
      lock_ = std::move(other.lock_);
      timeouts_ = std::exchange(other.timeouts_, {});
      outputMayStall_ = std::exchange(other.outputMayStall_, false);
    }
    return *this;
  }
  ~SerialPort() { Close(); }

  // Closes the port held, then opens portName and configures it raw and 8-bit clean with line; software
  // and hardware flow control off, RTS cleared, DTR untouched. On Linux the driver is asked for low
  // latency where it offers it; on Windows the latency is the driver's own setting (an FTDI adapter's
  // latency timer is set in the Device Manager). A port in use elsewhere is refused before any of its
  // settings change: one another process has open, one whose lock file a running process holds, one
  // with the exclusive flag or a flock. So is a name that does not lead to a serial line of its own: the
  // console and tty aliases, a pty master, anything but a terminal. The lock files are held until the
  // port closes, and the exclusive flag and a flock keep later openers out. A setting without a form on
  // this system (a baud rate without a termios speed, mark parity, 1.5 stop bits) is refused and the
  // line left as it was. With Purpose::Probe the port is configured only to see that it takes the
  // settings, then put back as it was found: it stays open for the caller to close. The queue sizes are
  // only a hint here. A refusal leaves the object closed and says why.
  PortOpenResult Open(const std::string& portName, const LineSettings& line, int64_t rxQueueSize,
                      int64_t txQueueSize, const PortClaimRules& rules);
  // The same with the rules of this moment: /proc read now, lock files in /run/lock (or /var/lock).
  PortOpenResult Open(const std::string& portName, const LineSettings& line, int64_t rxQueueSize,
                      int64_t txQueueSize) {
    return Open(portName, line, rxQueueSize, txQueueSize, PortClaimRules{});
  }

  bool IsOpen() const { return handle_ != kNoHandle; }

  // False when closed.
  bool SetTimeouts(const PortTimeouts& timeouts);

  // Bytes waiting in the receive queue; 0 when closed or the query fails.
  int64_t BytesWaiting() const;

  // Reads at most count bytes that are already there; never waits. Returns the count read, 0 on failure.
  int64_t Read(uint8_t* destination, int64_t count);

  // Hands over all bytes and returns when they have left the driver, within the write bound. Returns
  // count, or fewer when the bound passed or the port failed.
  int64_t Write(const uint8_t* source, int64_t count);

  // Releases the device, then removes the lock file; nothing when closed.
  void Close();

  // Waits at most maxMs until input is readable, in one wait; a caller that collects bytes calls it
  // again after each read. A hung-up line would report readiness at once, and a closed port has nothing
  // to wait on, so then it sleeps maxMs to keep a caller's polling loop from spinning. Windows has no
  // readiness wait on a synchronous port: there it pauses for at most 1 ms.
  void WaitForInput(int maxMs) const;
  // The platform's handle of the open device, for a program that waits on it together with other
  // input (a poll loop); it stays owned by this object. kNoHandle when closed.
  intptr_t NativeHandle() const { return handle_; }

  // The platform's handle of the device: a file descriptor here, and wide enough for a Windows HANDLE.
  static constexpr intptr_t kNoHandle = -1;

 private:

  intptr_t handle_ = kNoHandle;
  PortLockFile lock_;
  PortTimeouts timeouts_;
  // Hardware handshake is on, so a peer can hold the output back for ever: the wait for the last byte
  // to leave must then keep to the write bound by itself.
  bool outputMayStall_ = false;
};

}  // namespace varnetik
