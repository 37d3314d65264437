#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <timeapi.h>

#include <algorithm>

#include "slave/SlaveSockets.h"

namespace varnetik::slave {

namespace {

SOCKET AsSocket(Handle handle) { return static_cast<SOCKET>(handle); }
HANDLE AsLine(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

IoStatus SocketStatus(int n, size_t& count) {
  if (n > 0) {
    count = static_cast<size_t>(n);
    return IoStatus::Moved;
  }
  if (n == 0) return IoStatus::Ended;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? IoStatus::WouldBlock : IoStatus::Failed;
}

int ChunkSize(size_t size) { return static_cast<int>(std::min<size_t>(size, 1 << 20)); }

// Only the bytes already in the driver's queue are asked for, so that ReadFile returns at once whatever
// the port's read timeouts. The same call clears a pending line error (framing, parity, overrun), which
// would otherwise stop every later read.
IoStatus ReadLine(HANDLE line, uint8_t* destination, size_t size, size_t& count) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(line, &errors, &status)) return IoStatus::Failed;
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, status.cbInQue));
  if (wanted == 0) return IoStatus::WouldBlock;
  DWORD got = 0;
  if (!::ReadFile(line, destination, wanted, &got, nullptr)) return IoStatus::Failed;
  count = got;
  return got == 0 ? IoStatus::WouldBlock : IoStatus::Moved;
}

// Returns within the write bound that SerialPort set on the port.
IoStatus WriteLine(HANDLE line, const uint8_t* source, size_t size, size_t& count) {
  DWORD written = 0;
  if (!::WriteFile(line, source, static_cast<DWORD>(std::min<size_t>(size, MAXDWORD)), &written, nullptr) ||
      written == 0) {
    return IoStatus::Failed;
  }
  count = written;
  return IoStatus::Moved;
}

}  // namespace

bool StartSockets() {
  static const bool started = [] {
    WSADATA data{};
    // The waits of a loop that looks at a serial line every kLinePollMs last about 15 ms at the default
    // timer resolution; the finer one is asked for once, for the whole run.
    ::timeBeginPeriod(1);
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

bool WaitForAny(std::vector<WaitEntry>& entries, int timeoutMs) {
  static thread_local std::vector<WSAPOLLFD> sockets;
  static thread_local std::vector<size_t> socketEntries;
  sockets.clear();
  socketEntries.clear();
  bool lineServed = false;
  for (size_t i = 0; i < entries.size(); ++i) {
    WaitEntry& entry = entries[i];
    if (entry.line) {
      // Read on every turn; a pending answer is written as soon as the loop asks.
      entry.readable = true;
      entry.writable = entry.wantWrite;
      lineServed = true;
      continue;
    }
    if (entry.handle == kNoHandle) continue;
    sockets.push_back({AsSocket(entry.handle), static_cast<SHORT>(entry.wantWrite ? POLLRDNORM | POLLWRNORM : POLLRDNORM), 0});
    socketEntries.push_back(i);
  }
  if (lineServed) timeoutMs = timeoutMs < 0 ? kLinePollMs : std::min(timeoutMs, kLinePollMs);
  if (sockets.empty()) {
    ::Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
    return true;
  }
  if (::WSAPoll(sockets.data(), static_cast<ULONG>(sockets.size()), timeoutMs) == SOCKET_ERROR) return false;
  for (size_t k = 0; k < sockets.size(); ++k) {
    WaitEntry& entry = entries[socketEntries[k]];
    entry.readable = (sockets[k].revents & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) != 0;
    entry.writable = (sockets[k].revents & POLLWRNORM) != 0;
  }
  return true;
}

IoStatus ReadSome(Handle handle, bool line, uint8_t* destination, size_t size, size_t& count) {
  if (line) return ReadLine(AsLine(handle), destination, size, count);
  return SocketStatus(::recv(AsSocket(handle), reinterpret_cast<char*>(destination), ChunkSize(size), 0), count);
}

IoStatus WriteSome(Handle handle, bool line, const uint8_t* source, size_t size, size_t& count) {
  if (line) return WriteLine(AsLine(handle), source, size, count);
  const int n = ::send(AsSocket(handle), reinterpret_cast<const char*>(source), ChunkSize(size), 0);
  return n == 0 ? IoStatus::Failed : SocketStatus(n, count);
}

Handle AcceptClient(Handle listener, bool& /*outOfHandles*/) {
  const SOCKET client = ::accept(AsSocket(listener), nullptr, nullptr);
  if (client == INVALID_SOCKET) return kNoHandle;
  // Sockets are not inherited by a child without a handle list anyway; non-blocking must be asked for.
  u_long nonBlocking = 1;
  ::ioctlsocket(client, FIONBIO, &nonBlocking);
  return static_cast<Handle>(client);
}

std::string PeerText(Handle socket) {
  sockaddr_in address{};
  int size = sizeof address;
  if (::getpeername(AsSocket(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      address.sin_family != AF_INET) {
    return "connected";
  }
  char host[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
  return std::string("connected from ") + host + ":" + std::to_string(ntohs(address.sin_port));
}

void CloseSocket(Handle socket, bool reset) {
  if (reset) {
    linger abort{1, 0};
    ::setsockopt(AsSocket(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
  }
  ::closesocket(AsSocket(socket));
}

std::string SystemErrorText() {
  const DWORD code = ::WSAGetLastError() != 0 ? static_cast<DWORD>(::WSAGetLastError()) : ::GetLastError();
  // The wide text, turned into UTF-8 like every other line the slave writes; the ANSI form would put
  // the code page's bytes into it.
  wchar_t text[256] = {};
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, text, sizeof text / sizeof text[0], nullptr);
  std::string message;
  if (length > 0) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    message.resize(static_cast<size_t>(std::max(size, 0)));
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size, nullptr, nullptr);
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "system error " + std::to_string(code) : message;
}

}  // namespace varnetik::slave
