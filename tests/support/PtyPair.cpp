#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace varnetik::testing {

PtyPair::PtyPair(Settings settings) {
  char name[128] = {};
  if (openpty(&master_, &terminal_, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    std::abort();
  }
  path_ = name;
  if (settings == Settings::Raw) {
    // No echo, no line editing, no CR/LF mapping, 8-bit clean.
    termios raw{};
    tcgetattr(terminal_, &raw);
    cfmakeraw(&raw);
    tcsetattr(terminal_, TCSANOW, &raw);
  }
  // Only the master's file flags: termios requests on a master act on the terminal side.
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(terminal_, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
  CloseMaster();
  close(terminal_);
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

}  // namespace varnetik::testing
