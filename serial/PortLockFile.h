// The UUCP lock file that Linux serial tools (minicom, picocom, screen, cu, ModemManager among them)
// take before they use a port: LCK..<device name> in a shared directory, holding the owner's process id
// as ten ASCII digits and a newline. Taking it keeps those tools and this program from sharing a line.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace varnetik {

inline constexpr char kDefaultLockDirectory[] = "/run/lock";
// Where older systems keep them, and where the lock is taken when the first directory is missing.
inline constexpr char kFallbackLockDirectory[] = "/var/lock";

struct LockDirectories {
  std::string primary = kDefaultLockDirectory;
  std::string fallback = kFallbackLockDirectory;
};

// What to do with a lock whose owner has gone. A scan only looks: it lists such a port, and the lock is
// taken over when the port is really opened.
enum class StaleLocks { TakeOver, LeaveAlone };

// The names a device is locked under: the last path component of the device itself, not of the link
// that leads to it, so /dev/serial/by-id/... and /dev/ttyUSB0 are one lock. A pseudo-terminal
// /dev/pts/N has two, N (as cu, kermit and microcom write it) and pts_N (as minicom does).
std::vector<std::string> LockNamesOf(const std::string& devicePath);

// Holds the lock files of one port and removes them when released or destroyed; movable, so the owner
// of an open port can keep them for as long as the port is open.
class PortLockFile {
 public:
  struct Outcome {
    bool refused = false;   // a running program holds a lock of the port
    int64_t holder = 0;     // that program; 0 where its lock names none that can be read
  };

  PortLockFile() = default;
  ~PortLockFile();
  PortLockFile(PortLockFile&& other) noexcept;
  PortLockFile& operator=(PortLockFile&& other) noexcept;
  PortLockFile(const PortLockFile&) = delete;
  PortLockFile& operator=(const PortLockFile&) = delete;

  // Takes every lock of devicePath in the primary directory, or in the fallback one when the primary is
  // missing; a live lock in either refuses the port. Live: its process runs (a lock naming this process
  // counts only while this process holds that very file), or it is not a plain file, or it names no
  // process and is younger than a minute. A stale lock is taken over only when the file removed is the
  // one that was read; what was linked into place is read back before it counts as ours. Where no lock
  // file can be written (no directory, no permission) the port is used without one: not refused, and
  // nothing held. Locks already held by this object are released first.
  Outcome Take(const std::string& devicePath, const LockDirectories& directories, StaleLocks stale);

  // Removes the lock files held, each only while it is still the file this object wrote.
  void Release();

  // Whether any lock file is held.
  bool HoldsAny() const { return !held_.empty(); }

 private:
  struct HeldLock {
    std::string path;
    dev_t fileSystem;
    ino_t inode;
  };
  std::vector<HeldLock> held_;
};

// For tests that race two takers: called after a stale lock was read and before it is removed.
void SetStaleLockPauseForTesting(void (*pause)());

}  // namespace varnetik
