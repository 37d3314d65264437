#include "serial/PortUsers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace varnetik {

namespace {

// The pseudo-terminal multiplexer /dev/ptmx: every master end is a descriptor of it.
constexpr unsigned kPtmxMajor = 5;
constexpr unsigned kPtmxMinor = 2;
// The terminal ends of pseudo-terminals: /dev/pts/N.
constexpr unsigned kPtsFirstMajor = 136;
constexpr unsigned kPtsLastMajor = 143;
// /dev/null, /dev/zero, /dev/urandom and their kin: open in nearly every process, never a line.
constexpr unsigned kMemoryDevicesMajor = 1;

constexpr long kNoPtyIndex = -1;

// A directory entry of a descriptor number, rounded up generously: header and up to 20 digits.
constexpr size_t kLongestEntry = sizeof(dirent64) + 32;

constexpr char kDevicePrefix[] = "/dev/";
constexpr size_t kDevicePrefixLength = sizeof kDevicePrefix - 1;

long PtyIndexOf(dev_t device) {
  if (!IsPseudoTerminal(device)) return kNoPtyIndex;
  return static_cast<long>((major(device) - kPtsFirstMajor) * 256 + minor(device));
}

bool IsPtyMaster(dev_t device) { return major(device) == kPtmxMajor && minor(device) == kPtmxMinor; }

bool IsProcessId(const char* name) {
  if (*name == '\0') return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

// The terminal index of a master end, from the "tty-index:" line of its fdinfo.
long MasterIndex(int procDir, const std::string& pid, const char* descriptor) {
  int fd = openat(procDir, (pid + "/fdinfo/" + descriptor).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kNoPtyIndex;
  char text[512] = {};
  ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return kNoPtyIndex;
  const char* line = std::strstr(text, "tty-index:");
  if (line == nullptr) return kNoPtyIndex;
  return std::strtol(line + std::strlen("tty-index:"), nullptr, 10);
}

// Whether a descriptor leads to a device node. The link's text comes first: following the link itself
// reaches the file, and a file on a stalled network or FUSE mount would hold the whole scan in an
// uninterruptible sleep. Device nodes live under /dev/.
bool LeadsIntoDev(int fdDir, const char* descriptor) {
  char target[kDevicePrefixLength];
  ssize_t length = readlinkat(fdDir, descriptor, target, sizeof target);
  return length == static_cast<ssize_t>(kDevicePrefixLength) &&
         std::memcmp(target, kDevicePrefix, kDevicePrefixLength) == 0;
}

struct ProcessDevices {
  bool readable = false;
  std::vector<DeviceIdentity> devices;
  std::vector<long> masterIndices;
};

// The character devices behind one process's descriptors. The entries are read with getdents64
// straight from the descriptor: a scan visits every process on the machine, and the directory stream's
// extra calls per process would cost more than the rest.
ProcessDevices DevicesOf(int procDir, const std::string& pid) {
  ProcessDevices found;
  int fdDir = openat(procDir, (pid + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A process that ended meanwhile leaves nothing to read, and nothing unseen.
  if (fdDir < 0) {
    found.readable = errno == ENOENT || errno == ESRCH;
    return found;
  }
  found.readable = true;
  alignas(dirent64) char buffer[4096];
  for (;;) {
    ssize_t got = getdents64(fdDir, buffer, sizeof buffer);
    if (got <= 0) break;
    // The kernel stops filling only at an entry that does not fit; with room for one to spare, the
    // listing is complete and the call that would return nothing is saved.
    const bool complete = sizeof buffer - static_cast<size_t>(got) >= kLongestEntry;
    for (ssize_t offset = 0; offset < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      if (entry->d_name[0] == '.' || !LeadsIntoDev(fdDir, entry->d_name)) continue;
      struct stat target {};
      if (fstatat(fdDir, entry->d_name, &target, 0) != 0 || !S_ISCHR(target.st_mode)) continue;
      if (major(target.st_rdev) == kMemoryDevicesMajor) continue;
      if (IsPtyMaster(target.st_rdev)) {
        found.masterIndices.push_back(MasterIndex(procDir, pid, entry->d_name));
      } else {
        found.devices.push_back({target.st_rdev, target.st_dev, target.st_ino});
      }
    }
    if (complete) break;
  }
  close(fdDir);
  return found;
}

bool MadeBy(const ProcessDevices& process, dev_t device) {
  const long index = PtyIndexOf(device);
  if (index == kNoPtyIndex) return false;
  for (long master : process.masterIndices) {
    if (master == index) return true;
  }
  return false;
}

}  // namespace

bool IsPseudoTerminal(dev_t number) {
  const unsigned numberMajor = major(number);
  return numberMajor >= kPtsFirstMajor && numberMajor <= kPtsLastMajor;
}

bool IsSameDevice(const DeviceIdentity& a, const DeviceIdentity& b) {
  if (a.number != b.number) return false;
  return !IsPseudoTerminal(a.number) || (a.fileSystem == b.fileSystem && a.inode == b.inode);
}

PortUsers PortUsers::Gather(const std::string& procRoot) {
  PortUsers users;
  int procDir = open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* processes = procDir < 0 ? nullptr : fdopendir(procDir);
  if (processes == nullptr) {
    if (procDir >= 0) close(procDir);
    return users;
  }
  const std::string self = std::to_string(getpid());
  while (const dirent* entry = readdir(processes)) {
    if (!IsProcessId(entry->d_name) || self == entry->d_name) continue;
    const ProcessDevices process = DevicesOf(procDir, entry->d_name);
    if (!process.readable) ++users.uninspected_;
    for (const DeviceIdentity& device : process.devices) {
      if (!MadeBy(process, device.number)) users.uses_.push_back({device, std::atoll(entry->d_name)});
    }
  }
  closedir(processes);
  return users;
}

int64_t PortUsers::HolderOf(const DeviceIdentity& device) const {
  for (const Use& use : uses_) {
    if (IsSameDevice(use.device, device)) return use.pid;
  }
  return 0;
}

std::string ProgramNameOf(const std::string& procRoot, int64_t pid) {
  int fd = open((procRoot + "/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  char text[64] = {};
  ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return std::string();
  std::string name(text, static_cast<size_t>(got));
  while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
  return name;
}

}  // namespace varnetik
