// Milliseconds of a clock that never jumps with the wall time, for the time limits of both links.
// Plain standard C++, so the serial and the TCP side share it through the core they both build on.
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
