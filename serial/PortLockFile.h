// The UUCP lock file that Linux serial tools (minicom, picocom, screen, ModemManager among them) take
// before they use a port: LCK..<device name> in a shared directory, holding the owner's process id as
// ten ASCII digits and a newline. Taking it keeps those tools and this program from sharing a line.
#pragma once

#include <string>

namespace varnetik {

inline constexpr char kDefaultLockDirectory[] = "/run/lock";

// Holds at most one lock file and removes it when released or destroyed; movable, so the owner of an
// open port can keep it for as long as the port is open.
class PortLockFile {
 public:
  PortLockFile() = default;
  ~PortLockFile();
  PortLockFile(PortLockFile&& other) noexcept;
  PortLockFile& operator=(PortLockFile&& other) noexcept;
  PortLockFile(const PortLockFile&) = delete;
  PortLockFile& operator=(const PortLockFile&) = delete;

  // Takes the lock of devicePath (symbolic links resolved, so every name of a device shares one lock)
  // in directory. False while a running process holds it; a lock whose process has ended is taken over.
  // Where no lock file can be written (no such directory, no permission) the port is used without one:
  // true, and nothing is held. A lock already held by this object is released first.
  bool Take(const std::string& devicePath, const std::string& directory = kDefaultLockDirectory);

  // Removes the lock file, if one is held.
  void Release();

  // The lock file held; empty when none.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace varnetik
