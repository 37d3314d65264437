// Small POSIX socket helpers under TcpLink: IPv4 address lookup, a connect with a time limit, a send
// that hands over every byte, and a receive attempt that never waits.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace varnetik {

// IPv4 address of host in network byte order: a dotted address first, else the first IPv4 address of
// a name look-up. False when there is none, and for 255.255.255.255 (the "no address" value).
bool ResolveIpv4(const std::string& host, in_addr_t& address);

// A new stream socket (close-on-exec) connected to address:port, back in blocking mode; -1 when the
// connect fails or has not completed within timeoutMs.
int ConnectIpv4(in_addr_t address, uint16_t port, int64_t timeoutMs);

// Sends all count bytes; returns count, or -1 on a socket error. Never raises SIGPIPE.
int64_t SendAll(int socketFd, const uint8_t* bytes, int64_t count);

enum class ReceiveOutcome { Bytes, NothingThere, PeerClosed, Error };

// One receive attempt of up to count bytes that returns at once; received is set for Bytes.
ReceiveOutcome ReceiveNow(int socketFd, uint8_t* destination, int64_t count, int64_t& received);

// Waits at most timeoutMs for the socket to become readable (or to report an error or a close).
void WaitReadable(int socketFd, int timeoutMs);

void CloseSocket(int socketFd);

}  // namespace varnetik
