// Counts of what a soak run drew and what came back, printed so that a reader sees the mix.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "modbus/ResultCode.h"
#include "tests/soak/DefinedCodes.h"

namespace varnetik::testing {

class SoakTally {
 public:
  void Fault(const std::string& name) { ++faults_[name]; }
  // Successes are counted per operation, failures per operation and code.
  void Result(SoakOperation operation, ResultCode code);
  int64_t Successes() const { return successes_; }

  // One block on stdout, headed by title.
  void Print(const std::string& title) const;

 private:
  std::map<std::string, int64_t> faults_;
  std::map<std::pair<SoakOperation, ResultCode>, int64_t> results_;
  int64_t successes_ = 0;
};

}  // namespace varnetik::testing
