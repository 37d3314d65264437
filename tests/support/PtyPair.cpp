#include "tests/support/PtyPair.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "slave/PseudoTerminal.h"

namespace varnetik::testing {

PtyPair::PtyPair(Settings settings) {
  slave::PseudoTerminal pair;
  if (!slave::OpenPseudoTerminal(pair, settings == Settings::Raw)) {
    std::perror("openpty");
    std::abort();
  }
  master_ = pair.master;
  terminal_ = pair.terminal;
  path_ = pair.path;
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
