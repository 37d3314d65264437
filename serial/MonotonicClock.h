// Milliseconds of a clock that never jumps with the wall time.
#pragma once

#include <chrono>
#include <cstdint>

namespace varnetik {

inline int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace varnetik
