#include "tests/soak/SoakTally.h"

#include <cstdio>

#include "operator/ResultMessages.h"

namespace varnetik::testing {

void SoakTally::Result(SoakOperation operation, ResultCode code) {
  if (code.IsSuccess()) {
    ++successes_;
    ++results_[{operation, ResultCode::Success(0)}];
    return;
  }
  ++results_[{operation, code}];
}

void SoakTally::Print(const std::string& title) const {
  std::printf("[soak] %s\n[soak]   faults drawn:\n", title.c_str());
  for (const auto& [name, count] : faults_) {
    std::printf("[soak]     %7lld  %s\n", static_cast<long long>(count), name.c_str());
  }
  std::printf("[soak]   results:\n");
  for (const auto& [key, count] : results_) {
    const auto& [operation, code] = key;
    std::string what =
        code.IsSuccess() ? std::string("success") : std::to_string(code.Number()) + " " + ResultMessage(code);
    std::printf("[soak]     %7lld  %-10s  %s\n", static_cast<long long>(count), OperationName(operation),
                what.c_str());
  }
  std::fflush(stdout);
}

}  // namespace varnetik::testing
