// Small socket helpers under TcpLink: IPv4 address lookup, a connect with a time limit, a send that
// hands over every byte, and a receive attempt that never waits. Socket.cpp gives them with POSIX
// sockets, SocketWin32.cpp with Windows Sockets; the build takes the one of the target system.
#pragma once

#include <cstdint>
#include <string>

namespace varnetik {

// An open socket as the system numbers it: a descriptor on POSIX, a SOCKET on Windows. Both fit a
// pointer-sized signed integer, and both systems' "no socket" value reads -1 there.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// An IPv4 address in network byte order.
using Ipv4Address = uint32_t;

// Starts the system's socket layer once per process where it needs starting (Windows Sockets); false
// when it cannot be started. The functions below start it themselves: only code that makes sockets of
// its own, such as a test's peer, calls it.
bool StartSocketLayer();

// IPv4 address of host: a dotted address first, else the first IPv4 address of a name look-up. False
// when there is none, and for 255.255.255.255 (the "no address" value).
bool ResolveIpv4(const std::string& host, Ipv4Address& address);

// A new stream socket (not inherited by child processes) connected to address:port, back in blocking
// mode; kNoSocket when the connect fails or has not completed within timeoutMs.
SocketHandle ConnectIpv4(Ipv4Address address, uint16_t port, int64_t timeoutMs);

// Sends all count bytes; returns count, or -1 on a socket error. Never raises SIGPIPE.
int64_t SendAll(SocketHandle socket, const uint8_t* bytes, int64_t count);

enum class ReceiveOutcome { Bytes, NothingThere, PeerClosed, Error };

// One receive attempt of up to count bytes that returns at once; received is set for Bytes.
ReceiveOutcome ReceiveNow(SocketHandle socket, uint8_t* destination, int64_t count, int64_t& received);

// Waits at most timeoutMs for the socket to become readable (or to report an error or a close).
void WaitReadable(SocketHandle socket, int timeoutMs);

void CloseSocket(SocketHandle socket);

}  // namespace varnetik
