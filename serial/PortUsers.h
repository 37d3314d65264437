// Which devices other processes have open, read from /proc. A program that opened a port plainly (a
// terminal program, a logger, another master) takes neither a lock nor the exclusive flag; only its
// descriptors show that the port is in use.
#pragma once

#include <sys/types.h>

#include <unordered_set>

namespace varnetik {

class PortUsers {
 public:
  // One pass over every process's descriptors, so a scan of many candidates reads /proc once. This
  // process is left out (it holds its own ports and test lines), and so is every process whose
  // descriptors may not be inspected. A process that holds a pseudo-terminal together with that pair's
  // master made the pair (socat does so for virtual port pairs) and does not count as using it.
  static PortUsers Gather();

  // True when some other process has the character device with this device number open.
  bool HeldByAnother(dev_t device) const { return held_.count(device) != 0; }

 private:
  std::unordered_set<dev_t> held_;
};

}  // namespace varnetik
