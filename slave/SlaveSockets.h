// The system calls under the slave's loop: the wait for its sockets and its serial line, moving bytes,
// and the clients of its listener. SlaveSocketsPosix.cpp gives them with poll and POSIX descriptors.
// SlaveSocketsWin32.cpp gives them with Windows Sockets and a synchronous COM port. Waiting on the port
// together with the sockets would take overlapped I/O (WaitCommEvent, WSAEventSelect and
// WaitForMultipleObjects); the loop polls instead, for simplicity: the line counts as readable on every
// turn, is read without waiting, and a wait lasts at most kLinePollMs while a line is served.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnetik::slave {

// A descriptor on POSIX; a SOCKET or, for the serial line, a HANDLE on Windows. -1 stands for none.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// How often the loop looks at a serial line it cannot wait on: the RTU pause is 4 ms or more.
inline constexpr int kLinePollMs = 2;

// Starts the socket layer once per process where it needs starting (Windows Sockets); false when it
// cannot be started.
bool StartSockets();

struct WaitEntry {
  Handle handle;
  bool line;  // the serial line; otherwise a socket, or on POSIX any descriptor poll takes
  bool wantWrite;
  bool readable = false;  // input, an end or an error is there to read
  bool writable = false;
};

// Waits until an entry is ready or timeoutMs passes (-1: no limit) and marks what is ready. An
// interrupted wait marks nothing; false only when the wait itself failed (SystemErrorText tells why).
bool WaitForAny(std::vector<WaitEntry>& entries, int timeoutMs);

enum class IoStatus { Moved, WouldBlock, Ended, Failed };

// Moves up to size bytes without waiting for more; count is set for Moved. A socket reports Ended at
// the peer's close; a serial line on POSIX reads 0 bytes when nothing is there, and reports Ended then.
IoStatus ReadSome(Handle handle, bool line, uint8_t* destination, size_t size, size_t& count);
IoStatus WriteSome(Handle handle, bool line, const uint8_t* source, size_t size, size_t& count);

// A client waiting at a listening socket, made non-blocking and not inherited; kNoHandle when none waits,
// or when one waits but the process has no descriptor left for it, which sets outOfHandles.
Handle AcceptClient(Handle listener, bool& outOfHandles);
// "connected from 127.0.0.1:40312", or "connected" when the peer is not known.
std::string PeerText(Handle socket);
// reset: the peer sees a reset instead of an orderly end.
void CloseSocket(Handle socket, bool reset);

// The text of the last failed system call.
std::string SystemErrorText();

}  // namespace varnetik::slave
