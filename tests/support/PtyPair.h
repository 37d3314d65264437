// A pseudo-terminal pair standing in for a serial line: the program opens the path of the terminal side,
// the test's slave reads and writes the master side.
#pragma once

#include <string>

namespace varnetik::testing {

class PtyPair {
 public:
  PtyPair();  // aborts the test run when no pseudo-terminal can be had
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // Non-blocking master side.
  int MasterFd() const { return master_; }
  // Path of the terminal side, e.g. "/dev/pts/7".
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  // Held open so that the master never reads EIO while the program has the port closed.
  int terminal_ = -1;
  std::string path_;
};

}  // namespace varnetik::testing
