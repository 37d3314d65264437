#include "serial/PortLockFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace varnetik {

namespace {

enum class LockState { Absent, Held, Stale };

// Two programs may race for one port; a couple of rounds settle it without looping forever.
constexpr int kTakeAttempts = 3;

// The name after "LCK..": the last path component of the device itself, not of the link that leads to
// it, so /dev/serial/by-id/... and /dev/ttyUSB0 are one lock.
std::string LockName(const std::string& devicePath) {
  std::string resolved = devicePath;
  if (char* real = realpath(devicePath.c_str(), nullptr)) {
    resolved = real;
    std::free(real);
  }
  return resolved.substr(resolved.find_last_of('/') + 1);
}

// A process id in the ten-digit ASCII form; 0 when the text holds none.
pid_t ParseOwner(const char* text) {
  char* end = nullptr;
  errno = 0;
  long owner = std::strtol(text, &end, 10);
  if (end == text || errno != 0 || owner <= 0 || owner > INT_MAX) return 0;
  return static_cast<pid_t>(owner);
}

bool IsRunning(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// A file that is there but cannot be read may well belong to a running program of another user, so it
// counts as held; one that cannot even be seen (a directory closed to us) counts as absent, else such a
// directory would refuse every port. A file without a process id in it (a crashed writer) is stale, as
// the other lock users treat it.
LockState StateOf(const std::string& lockPath) {
  int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    struct stat status {};
    return lstat(lockPath.c_str(), &status) == 0 ? LockState::Held : LockState::Absent;
  }
  char text[32] = {};
  ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got < 0) return LockState::Held;
  pid_t owner = ParseOwner(text);
  return owner != 0 && IsRunning(owner) ? LockState::Held : LockState::Stale;
}

// Writes this process's id to a private file and links it into place, so the lock file never appears
// empty to a program reading it; link fails with EEXIST when someone else's lock is there. Returns 0 or
// the error that stopped it.
int PlaceLockFile(const std::string& directory, const std::string& lockPath) {
  std::string temporary = directory + "/LTMP.varnetik.XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  char text[16];
  int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
  bool written = write(fd, text, static_cast<size_t>(length)) == length && fchmod(fd, 0644) == 0;
  close(fd);
  int result = written ? 0 : EIO;
  if (written && link(temporary.c_str(), lockPath.c_str()) != 0) result = errno;
  unlink(temporary.c_str());
  return result;
}

}  // namespace

PortLockFile::~PortLockFile() { Release(); }

PortLockFile::PortLockFile(PortLockFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}

PortLockFile& PortLockFile::operator=(PortLockFile&& other) noexcept {
  if (this != &other) {
    Release();
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

bool PortLockFile::Take(const std::string& devicePath, const std::string& directory) {
  Release();
  const std::string lockPath = directory + "/LCK.." + LockName(devicePath);
  for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
    LockState state = StateOf(lockPath);
    if (state == LockState::Held) return false;
    if (state == LockState::Stale) unlink(lockPath.c_str());
    int error = PlaceLockFile(directory, lockPath);
    if (error == 0) {
      path_ = lockPath;
      return true;
    }
    // EEXIST: another program was quicker; look at its lock again. Anything else: no lock file here.
    if (error != EEXIST) return true;
  }
  return false;
}

void PortLockFile::Release() {
  if (path_.empty()) return;
  unlink(path_.c_str());
  path_.clear();
}

}  // namespace varnetik
