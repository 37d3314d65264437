#include "serial/PortLockFile.h"

#include <utility>

namespace varnetik {

// Windows serial programs take no UUCP lock files: the exclusive open (share mode 0) keeps them apart.
// A lock is never taken, as where no lock file can be written on Linux: the port is used without one.

PortLockFile::~PortLockFile() { Release(); }

PortLockFile::PortLockFile(PortLockFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}

PortLockFile& PortLockFile::operator=(PortLockFile&& other) noexcept {
  if (this != &other) path_ = std::exchange(other.path_, {});
  return *this;
}

bool PortLockFile::Take(const std::string& /*devicePath*/, const std::string& /*directory*/) {
  Release();
  return true;
}

void PortLockFile::Release() { path_.clear(); }

}  // namespace varnetik
