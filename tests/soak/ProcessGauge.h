// What the soak watches for growth: the process's open file descriptors and its resident memory.
#pragma once

#include <cstdint>

namespace varnetik::testing {

// Under AddressSanitizer the resident size is the sanitizer's shadow and quarantine, not ours.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentMemoryMeaningful = false;
#else
inline constexpr bool kResidentMemoryMeaningful = true;
#endif
#else
inline constexpr bool kResidentMemoryMeaningful = true;
#endif

struct ProcessGauge {
  int64_t openFds = -1;
  int64_t residentKiB = -1;
};

// Entries of /proc/self/fd, not counting the one the count itself opens.
int64_t OpenFileDescriptors();
// VmRSS from /proc/self/status; -1 when it cannot be read.
int64_t ResidentKiB();

// Both figures after a short pause, so that peers on other threads have finished closing what the last
// transaction left them to close.
ProcessGauge MeasureProcess();

}  // namespace varnetik::testing
