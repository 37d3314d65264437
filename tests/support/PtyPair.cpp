#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace varnetik::testing {

PtyPair::PtyPair() {
  char name[128] = {};
  if (openpty(&master_, &terminal_, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    std::abort();
  }
  path_ = name;
  // Raw from the start: no echo, no line editing, no CR/LF mapping, 8-bit clean.
  termios settings{};
  tcgetattr(terminal_, &settings);
  cfmakeraw(&settings);
  tcsetattr(terminal_, TCSANOW, &settings);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(terminal_, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
  close(master_);
  close(terminal_);
}

}  // namespace varnetik::testing
