#include "serial/PortUsers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

constexpr long kNoPtyIndex = -1;

// A directory entry of a descriptor number, rounded up generously: header and up to 20 digits.
constexpr size_t kLongestEntry = sizeof(dirent64) + 32;

long PtyIndexOf(dev_t device) {
  const unsigned deviceMajor = major(device);
  if (deviceMajor < kPtsFirstMajor || deviceMajor > kPtsLastMajor) return kNoPtyIndex;
  return static_cast<long>((deviceMajor - kPtsFirstMajor) * 256 + minor(device));
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

struct ProcessDevices {
  std::vector<dev_t> devices;
  std::vector<long> masterIndices;
};

// The character devices behind one process's descriptors; empty when they may not be read. The entries
// are read with getdents64 straight from the descriptor: a scan visits every process on the machine, and
// the directory stream's extra calls per process would cost more than the rest.
ProcessDevices DevicesOf(int procDir, const std::string& pid) {
  ProcessDevices found;
  int fdDir = openat(procDir, (pid + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fdDir < 0) return found;
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
      struct stat target {};
      if (entry->d_name[0] == '.' || fstatat(fdDir, entry->d_name, &target, 0) != 0) continue;
      if (!S_ISCHR(target.st_mode)) continue;
      if (IsPtyMaster(target.st_rdev)) {
        found.masterIndices.push_back(MasterIndex(procDir, pid, entry->d_name));
      } else {
        found.devices.push_back(target.st_rdev);
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

PortUsers PortUsers::Gather() {
  PortUsers users;
  int procDir = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* processes = procDir < 0 ? nullptr : fdopendir(procDir);
  if (processes == nullptr) {
    if (procDir >= 0) close(procDir);
    return users;
  }
  const std::string self = std::to_string(getpid());
  while (const dirent* entry = readdir(processes)) {
    if (!IsProcessId(entry->d_name) || self == entry->d_name) continue;
    const ProcessDevices process = DevicesOf(procDir, entry->d_name);
    for (dev_t device : process.devices) {
      if (!MadeBy(process, device)) users.held_.insert(device);
    }
  }
  closedir(processes);
  return users;
}

}  // namespace varnetik
