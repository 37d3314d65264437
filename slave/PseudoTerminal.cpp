#include "slave/PseudoTerminal.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace varnetik::slave {

bool PseudoTerminalsAvailable() { return true; }

bool OpenPseudoTerminal(PseudoTerminal& pair, bool raw) {
  char name[128] = {};
  if (openpty(&pair.master, &pair.terminal, name, nullptr, nullptr) != 0) return false;
  pair.path = name;
  if (raw) {
    termios settings{};
    tcgetattr(pair.terminal, &settings);
    cfmakeraw(&settings);
    tcsetattr(pair.terminal, TCSANOW, &settings);
  }
  // Only the master's file flags: termios requests on a master act on the terminal side.
  fcntl(pair.master, F_SETFL, fcntl(pair.master, F_GETFL) | O_NONBLOCK);
  fcntl(pair.master, F_SETFD, FD_CLOEXEC);
  fcntl(pair.terminal, F_SETFD, FD_CLOEXEC);
  return true;
}

void ClosePseudoTerminal(PseudoTerminal& pair) {
  if (pair.master >= 0) close(pair.master);
  if (pair.terminal >= 0) close(pair.terminal);
  pair.master = -1;
  pair.terminal = -1;
}

}  // namespace varnetik::slave
