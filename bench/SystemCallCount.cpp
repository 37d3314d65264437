#include "bench/SystemCallCount.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>

namespace varnetik::bench {

namespace {

thread_local int64_t callsOfThisThread = 0;

// The C library's own definition of a wrapper that this file replaces.
template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

int64_t SystemCallsOfThisThread() { return callsOfThisThread; }

}  // namespace varnetik::bench

using varnetik::bench::callsOfThisThread;
using varnetik::bench::Next;

// Each replacement counts one call and forwards its arguments unchanged.
#define VARNETIK_COUNTED(result, name, parameters, arguments)                   \
  extern "C" result name parameters {                                          \
    static const auto next = Next<result(*) parameters>(#name);                \
    ++callsOfThisThread;                                                        \
    return next arguments;                                                      \
  }

VARNETIK_COUNTED(ssize_t, read, (int fd, void* buffer, size_t count), (fd, buffer, count))
VARNETIK_COUNTED(ssize_t, write, (int fd, const void* buffer, size_t count), (fd, buffer, count))
VARNETIK_COUNTED(ssize_t, recv, (int fd, void* buffer, size_t count, int flags), (fd, buffer, count, flags))
VARNETIK_COUNTED(ssize_t, send, (int fd, const void* buffer, size_t count, int flags),
                 (fd, buffer, count, flags))
VARNETIK_COUNTED(int, poll, (pollfd * fds, nfds_t count, int timeoutMs), (fds, count, timeoutMs))
VARNETIK_COUNTED(int, select, (int count, fd_set* readable, fd_set* writable, fd_set* failed, timeval* timeout),
                 (count, readable, writable, failed, timeout))
VARNETIK_COUNTED(int, tcdrain, (int fd), (fd))
VARNETIK_COUNTED(int, tcflush, (int fd, int queue), (fd, queue))
VARNETIK_COUNTED(int, nanosleep, (const timespec* duration, timespec* left), (duration, left))
VARNETIK_COUNTED(int, clock_nanosleep, (clockid_t clock, int flags, const timespec* duration, timespec* left),
                 (clock, flags, duration, left))
VARNETIK_COUNTED(int, usleep, (useconds_t microseconds), (microseconds))

#undef VARNETIK_COUNTED

// ioctl takes a variable argument, which every request used here passes as one pointer.
extern "C" int ioctl(int fd, unsigned long request, ...) {
  static const auto next = Next<int (*)(int, unsigned long, ...)>("ioctl");
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  ++callsOfThisThread;
  return next(fd, request, argument);
}
