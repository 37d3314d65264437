// Counts the system calls that a thread makes through the C library's I/O wrappers, so a benchmark can
// print calls per exchange for our master and for libmodbus's alike. The benchmark executable defines
// these wrappers itself: our code and libmodbus, a shared library, both reach them before the C
// library's own, and each forwards to the C library. The count is per thread, so the slave thread of
// the same process does not add to the master's figure. Clock reads are not counted: they do not enter
// the kernel on Linux.
#pragma once

#include <cstdint>

namespace varnetik::bench {

// Calls made by the calling thread so far: read, write, send, recv and their relatives, poll, select,
// ioctl, tcdrain, tcflush and the sleeps.
int64_t SystemCallsOfThisThread();

}  // namespace varnetik::bench
