#include "serial/PortLockFile.h"

#include <utility>

namespace varnetik {

// Windows serial programs take no UUCP lock files: the exclusive open (share mode 0) keeps them apart.
// A lock is never taken, as where no lock file can be written on Linux: the port is used without one.

PortLockFile::~PortLockFile() { Release(); }

PortLockFile::PortLockFile(PortLockFile&& other) noexcept : held_(std::exchange(other.held_, {})) {}

PortLockFile& PortLockFile::operator=(PortLockFile&& other) noexcept {
  if (this != &other) held_ = std::exchange(other.held_, {});
  return *this;
}

PortLockFile::Outcome PortLockFile::Take(const std::string& /*devicePath*/,
                                         const LockDirectories& /*directories*/, StaleLocks /*stale*/) {
  Release();
  return {};
}

void PortLockFile::Release() { held_.clear(); }

}  // namespace varnetik
