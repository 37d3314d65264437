// Which devices other processes have open, read from /proc. A program that opened a port plainly (a
// terminal program, a logger, another master) takes neither a lock nor the exclusive flag; only its
// descriptors show that the port is in use.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace varnetik {

inline constexpr char kDefaultProcRoot[] = "/proc";

// One device node as stat shows it.
struct DeviceIdentity {
  dev_t number = 0;      // st_rdev
  dev_t fileSystem = 0;  // st_dev of the node
  ino_t inode = 0;
};

// The terminal ends of pseudo-terminals, /dev/pts/N.
bool IsPseudoTerminal(dev_t number);

// Whether two nodes lead to one device. Pseudo-terminal numbers repeat in every devpts instance (each
// container has its own), so there only the node itself counts; a real port is the same device under
// every node with its number.
bool IsSameDevice(const DeviceIdentity& a, const DeviceIdentity& b);

class PortUsers {
 public:
  // One pass over every process's descriptors under procRoot, so a scan of many candidates reads /proc
  // once. This process is left out (it holds its own ports and test lines). A process that holds a
  // pseudo-terminal together with that pair's master made the pair (socat does so for virtual port
  // pairs) and does not count as using it. Only descriptors whose target lies under /dev/ are looked
  // at: following any other one could hang on a stalled network or FUSE mount.
  static PortUsers Gather(const std::string& procRoot = kDefaultProcRoot);

  // Some other process that has the device open; 0 when none was seen.
  int64_t HolderOf(const DeviceIdentity& device) const;

  // How many processes' descriptors could not be read. For an ordinary user these are the programs of
  // other users, root's among them, and any of them may hold a port unseen.
  int64_t Uninspected() const { return uninspected_; }

 private:
  struct Use {
    DeviceIdentity device;
    int64_t pid;
  };
  std::vector<Use> uses_;
  int64_t uninspected_ = 0;
};

// The name a process runs under (its comm) as procRoot shows it; empty where it cannot be read.
std::string ProgramNameOf(const std::string& procRoot, int64_t pid);

}  // namespace varnetik
