#include <cerrno>

#include "slave/PseudoTerminal.h"

namespace varnetik::slave {

bool PseudoTerminalsAvailable() { return false; }

bool OpenPseudoTerminal(PseudoTerminal& /*pair*/, bool /*raw*/) {
  errno = ENOSYS;
  return false;
}

void ClosePseudoTerminal(PseudoTerminal& /*pair*/) {}

}  // namespace varnetik::slave
