#include "serial/PortLockFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>

namespace varnetik {

namespace {

enum class LockState { Absent, Held, Stale };

struct LockReading {
  LockState state = LockState::Absent;
  int64_t owner = 0;
  dev_t fileSystem = 0;
  ino_t inode = 0;
};

struct FileNode {
  dev_t fileSystem = 0;
  ino_t inode = 0;
  bool operator==(const FileNode&) const = default;
};

// Two programs may race for one port; a couple of rounds settle it without looping forever.
constexpr int kTakeAttempts = 3;
// A lock that names no process may be one its writer has only just created.
constexpr time_t kUnnamedLockLifeSeconds = 60;

constexpr char kPtsDirectory[] = "/dev/pts/";

void (*stalePause)() = nullptr;

// The lock files this process holds, by node. A lock naming this process's id is ours only if it is one
// of them: after a restart (in a container, pids start over) a new process may carry the id that an
// earlier one wrote.
std::mutex heldHereMutex;
std::vector<FileNode> heldHere;

bool IsHeldHere(const FileNode& node) {
  std::lock_guard<std::mutex> guard(heldHereMutex);
  return std::find(heldHere.begin(), heldHere.end(), node) != heldHere.end();
}

void NoteHeldHere(const FileNode& node) {
  std::lock_guard<std::mutex> guard(heldHereMutex);
  heldHere.push_back(node);
}

void ForgetHeldHere(const FileNode& node) {
  std::lock_guard<std::mutex> guard(heldHereMutex);
  auto found = std::find(heldHere.begin(), heldHere.end(), node);
  if (found != heldHere.end()) heldHere.erase(found);
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A process id in the ASCII form (blanks, digits, then a newline or a blank and whatever a tool adds),
// or as the four bytes of a native int that microcom writes; 0 when the text holds neither. Four bytes
// with a zero among them can only be the binary form: an id has at most 22 bits, so its top byte is 0.
int64_t ParseOwner(const char* text, size_t length) {
  int32_t binary = 0;
  if (length == sizeof binary && std::memchr(text, '\0', length) != nullptr) {
    std::memcpy(&binary, text, sizeof binary);
    return binary > 0 ? binary : 0;
  }
  size_t at = 0;
  while (at < length && text[at] == ' ') ++at;
  const size_t digits = at;
  int64_t owner = 0;
  while (at < length && text[at] >= '0' && text[at] <= '9' && owner <= INT_MAX) {
    owner = owner * 10 + (text[at++] - '0');
  }
  const bool ended = at == length || text[at] == '\n' || text[at] == ' ';
  return at > digits && ended && owner > 0 && owner <= INT_MAX ? owner : 0;
}

bool IsRunning(int64_t pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// The lock file at lockPath, opened without following a link and without waiting (a FIFO planted there
// would block a plain open for ever). Anything but a plain file counts as held: nothing can be read
// from it, and no other lock user would take it over either. A file that is there but cannot be read
// may well belong to a running program of another user, so it is held too; one that cannot even be
// seen (a directory closed to us) counts as absent, else such a directory would refuse every port.
LockReading ReadLock(const std::string& lockPath) {
  LockReading reading;
  struct stat status {};
  if (lstat(lockPath.c_str(), &status) != 0) return reading;
  reading.state = LockState::Held;
  if (!S_ISREG(status.st_mode)) return reading;
  int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) reading.state = LockState::Absent;
    return reading;
  }
  char text[32] = {};
  const bool plainFile = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  const ssize_t got = plainFile ? read(fd, text, sizeof text - 1) : -1;
  close(fd);
  if (got < 0) return reading;
  reading.fileSystem = status.st_dev;
  reading.inode = status.st_ino;
  reading.owner = ParseOwner(text, static_cast<size_t>(got));
  bool live = false;
  if (reading.owner == 0) {
    live = std::time(nullptr) - status.st_mtime < kUnnamedLockLifeSeconds;
  } else if (reading.owner == getpid()) {
    live = IsHeldHere({status.st_dev, status.st_ino});
  } else {
    live = IsRunning(reading.owner);
  }
  reading.state = live ? LockState::Held : LockState::Stale;
  return reading;
}

// Writes this process's id to a private file and links it into place, so the lock file never appears
// empty to a program reading it; link fails with EEXIST when someone else's lock is there. Returns 0 or
// the error that stopped it; placed receives the node linked.
int PlaceLockFile(const std::string& directory, const std::string& lockPath, FileNode& placed) {
  std::string temporary = directory + "/LTMP.varnetik.XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  char text[16];
  int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
  struct stat status {};
  bool written = write(fd, text, static_cast<size_t>(length)) == length && fchmod(fd, 0644) == 0 &&
                 fstat(fd, &status) == 0;
  close(fd);
  int result = written ? 0 : EIO;
  if (written && link(temporary.c_str(), lockPath.c_str()) != 0) result = errno;
  unlink(temporary.c_str());
  placed = {status.st_dev, status.st_ino};
  return result;
}

// Whether the file at lockPath is still the one placed, with this process's id in it: another taker
// that removed it in the meantime has put its own there.
bool StillOurs(const std::string& lockPath, const FileNode& placed) {
  int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat status {};
  char text[32] = {};
  bool same = fstat(fd, &status) == 0 && FileNode{status.st_dev, status.st_ino} == placed &&
              read(fd, text, sizeof text - 1) > 0;
  close(fd);
  return same && ParseOwner(text, std::strlen(text)) == getpid();
}

bool IsNodeAt(const std::string& path, const FileNode& node) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 && FileNode{status.st_dev, status.st_ino} == node;
}

// A descriptor holding the flock of the lock file at lockPath, while that is still the node read;
// -1 when it is gone, replaced, or another taker holds its turn. Never waits: a program that keeps
// the flock for good must not hold this one up.
int TakeTurnOn(const std::string& lockPath, const FileNode& read) {
  int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat status {};
  if (fstat(fd, &status) != 0 || FileNode{status.st_dev, status.st_ino} != read ||
      flock(fd, LOCK_EX | LOCK_NB) != 0 || !IsNodeAt(lockPath, read)) {
    close(fd);
    return -1;
  }
  return fd;
}

enum class TakeResult { Taken, Unwritable, LeftStale, Refused };

}  // namespace

std::vector<std::string> LockNamesOf(const std::string& devicePath) {
  std::string resolved = devicePath;
  if (char* real = realpath(devicePath.c_str(), nullptr)) {
    resolved = real;
    std::free(real);
  }
  const std::string name = resolved.substr(resolved.find_last_of('/') + 1);
  if (resolved.rfind(kPtsDirectory, 0) == 0 && !name.empty() &&
      name.find_first_not_of("0123456789") == std::string::npos) {
    return {name, "pts_" + name};
  }
  return {name};
}

PortLockFile::~PortLockFile() { Release(); }

PortLockFile::PortLockFile(PortLockFile&& other) noexcept : held_(std::exchange(other.held_, {})) {}

PortLockFile& PortLockFile::operator=(PortLockFile&& other) noexcept {
  if (this != &other) {
    Release();
    held_ = std::exchange(other.held_, {});
  }
  return *this;
}

PortLockFile::Outcome PortLockFile::Take(const std::string& devicePath, const LockDirectories& directories,
                                         StaleLocks stale) {
  Release();
  const std::vector<std::string> names = LockNamesOf(devicePath);
  // A live lock in either directory refuses the port before anything is written.
  for (const std::string* directory : {&directories.primary, &directories.fallback}) {
    for (const std::string& name : names) {
      const LockReading reading = ReadLock(*directory + "/LCK.." + name);
      if (reading.state == LockState::Held) return {true, reading.owner};
    }
  }
  std::string directory;
  if (IsDirectory(directories.primary)) {
    directory = directories.primary;
  } else if (IsDirectory(directories.fallback)) {
    directory = directories.fallback;
  } else {
    return {};
  }
  for (const std::string& name : names) {
    const std::string lockPath = directory + "/LCK.." + name;
    TakeResult result = TakeResult::Refused;
    int64_t holder = 0;
    for (int attempt = 0; attempt < kTakeAttempts && result == TakeResult::Refused; ++attempt) {
      const LockReading reading = ReadLock(lockPath);
      if (reading.state == LockState::Held) {
        holder = reading.owner;
        break;
      }
      // Held on the stale file until our own lock is in place: two takers of this program that read
      // the same stale lock take turns, and the second finds the first one's fresh lock in its place.
      int turn = -1;
      if (reading.state == LockState::Stale) {
        if (stale == StaleLocks::LeaveAlone) {
          result = TakeResult::LeftStale;
          break;
        }
        if (stalePause != nullptr) stalePause();
        // Only the file that was read goes: another taker may have put its fresh lock there meanwhile.
        const FileNode read{reading.fileSystem, reading.inode};
        turn = TakeTurnOn(lockPath, read);
        if (turn < 0) continue;
        if (unlink(lockPath.c_str()) != 0 && errno != ENOENT) {
          // Another user's stale lock in a sticky directory: it cannot be taken over, and no lock user
          // would count it, so the port goes on without a lock file of ours.
          close(turn);
          result = TakeResult::Unwritable;
          continue;
        }
      }
      FileNode placed;
      const int error = PlaceLockFile(directory, lockPath, placed);
      if (turn >= 0) close(turn);
      if (error == EEXIST) continue;  // another taker was quicker; look at its lock
      if (error != 0) {
        result = TakeResult::Unwritable;
      } else if (StillOurs(lockPath, placed)) {
        held_.push_back({lockPath, placed.fileSystem, placed.inode});
        NoteHeldHere(placed);
        result = TakeResult::Taken;
      }
    }
    if (result == TakeResult::Refused) {
      Release();
      return {true, holder};
    }
  }
  return {};
}

void PortLockFile::Release() {
  for (const HeldLock& lock : held_) {
    const FileNode node{lock.fileSystem, lock.inode};
    if (IsNodeAt(lock.path, node)) unlink(lock.path.c_str());
    ForgetHeldHere(node);
  }
  held_.clear();
}

void SetStaleLockPauseForTesting(void (*pause)()) { stalePause = pause; }

}  // namespace varnetik
