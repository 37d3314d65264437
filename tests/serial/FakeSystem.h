// The places an open looks at, as trees of the test's own: lock directories no other program uses, and a
// /proc whose processes the test makes up. Plain directories, files and symbolic links stand in for what
// no test may do to the real machine (another user's process, a mount that stalls, another container's
// terminals), so none of it needs privileges.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "serial/SerialPort.h"

namespace varnetik::testing {

inline std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    char pattern[] = "/tmp/varnetik-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    path = pattern;
  }
  ~TemporaryDirectory() { std::filesystem::remove_all(path); }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  std::filesystem::path path;
};

// A lock directory of the test's own, so that no lock of the machine is touched.
class LockDirectory : public TemporaryDirectory {
 public:
  std::filesystem::path LockFileOf(const std::string& device) const {
    return path / ("LCK.." + std::filesystem::path(device).filename().string());
  }
};

// Lock directories of the test's own, both present; a case may remove either.
struct TestLockDirectories {
  LockDirectory primary;
  LockDirectory fallback;

  LockDirectories Paths() const { return {primary.path.string(), fallback.path.string()}; }
};

class FakeProcTree : public TemporaryDirectory {
 public:
  // A process that runs under name, with descriptors 3, 4, ... whose links read as the targets given.
  void AddProcess(int pid, const std::string& name, const std::vector<std::string>& targets) {
    const std::filesystem::path process = path / std::to_string(pid);
    std::filesystem::create_directories(process / "fd");
    std::ofstream(process / "comm") << name << "\n";
    int descriptor = 3;
    for (const std::string& target : targets) {
      std::filesystem::create_symlink(target, process / "fd" / std::to_string(descriptor++));
    }
  }

  // A process whose descriptors cannot be listed, as another user's are for an ordinary user. The
  // tests may run as root, whom no permission keeps out, so the list is no directory at all.
  void AddClosedProcess(int pid) {
    std::filesystem::create_directories(path / std::to_string(pid));
    std::ofstream(path / std::to_string(pid) / "fd") << "";
  }
};

}  // namespace varnetik::testing
