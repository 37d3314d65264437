// The faults a person or a test can ask for by name ("crc", "late=500", "exception=6:3", ...), and the
// plan that turns the one in force into the reply to each request.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "slave/SlaveFrames.h"

namespace varnetik::slave {

enum class LinkKind { Rtu, Tcp };

struct FaultSetting {
  std::string name = "none";  // as given, without the count
  Reply reply;                // for a fixed mode
  bool onRtu = true;          // the links the mode means something on; the other gets correct answers
  bool onTcp = true;
  bool random = false;        // random=SEED: a mode drawn for every request
  uint32_t randomSeed = 0;
  int64_t remaining = -1;     // answers left to change before answering correctly again; -1: no end
};

// Reads "MODE" or "MODE:N" (N >= 1). On failure returns false and says why in error.
bool ParseFault(const std::string& text, FaultSetting& setting, std::string& error);

// The mode names with their meaning, one per line, for the help text.
const char* FaultModeHelp();

class FaultPlan {
 public:
  void Set(const FaultSetting& setting);
  const FaultSetting& Current() const { return setting_; }

  // The reply to the next request on link; applied names the fault put into it, empty for none.
  Reply Next(LinkKind link, std::string& applied);
  // The reply Next gave did change an answer: one of a MODE:N is used. True when that was the last.
  bool CountApplied();

 private:
  FaultSetting setting_;
  std::mt19937 random_;
};

}  // namespace varnetik::slave
