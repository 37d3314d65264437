// A pseudo-terminal pair standing in for a serial line: the program opens the path of the terminal side,
// the test's slave reads and writes the master side.
#pragma once

#include <string>

namespace varnetik::testing {

class PtyPair {
 public:
  // Raw suits a slave that only moves bytes; KernelDefaults (echo, line editing, XON/XOFF on) lets a
  // test see what opening the port changed.
  enum class Settings { Raw, KernelDefaults };

  // Aborts the test run when no pseudo-terminal can be had.
  explicit PtyPair(Settings settings = Settings::Raw);
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // Non-blocking master side; -1 once closed.
  int MasterFd() const { return master_; }
  // Path of the terminal side, e.g. "/dev/pts/7".
  const std::string& Path() const { return path_; }
  // Held open by the pair, so the terminal's settings can be read back and the line never hangs up.
  int TerminalFd() const { return terminal_; }

  void CloseMaster();

 private:
  int master_ = -1;
  // Held open so that the master never reads EIO while the program has the port closed.
  int terminal_ = -1;
  std::string path_;
};

}  // namespace varnetik::testing
