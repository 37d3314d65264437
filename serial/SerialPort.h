// The serial-port service on POSIX terminals: the six operations the link stands on, plus the short
// wait for input that replaces a blind pause while a response is collected.
#pragma once

#include <cstdint>
#include <string>

#include "serial/PortLockFile.h"
#include "serial/PortUsers.h"

namespace varnetik {

inline constexpr int64_t kNoSerialPort = -1;

// What an open checks before it changes anything on a port: the devices other processes hold, gathered
// once for a whole scan, and the directory of the UUCP lock files.
struct PortClaimRules {
  PortUsers users = PortUsers::Gather();
  std::string lockDirectory = kDefaultLockDirectory;
};

// Opens the port and configures it raw and 8-bit clean with the given line settings; software and
// hardware flow control off, RTS cleared, DTR untouched, the driver asked for low latency where it
// offers it. A port in use elsewhere is refused before any of its settings change: one another process
// has open, one whose lock file a running process holds, one with the exclusive flag or a flock. The
// port's lock file is held until SerialClose, and TIOCEXCL and a flock keep later openers out.
// parity: 0 none, 1 odd, 2 even; stopBits 1.0 or 2.0; a baud rate without a termios speed is refused.
// The queue sizes are only a hint on this system. Returns the port identifier or kNoSerialPort.
int64_t SerialOpen(const std::string& portName, int64_t baudRate, int64_t parity, int64_t dataBits,
                   float stopBits, int64_t handshake, int64_t rxQueueSize, int64_t txQueueSize,
                   const PortClaimRules& rules);
// The same with the rules of this moment: /proc read now, lock files in /run/lock.
int64_t SerialOpen(const std::string& portName, int64_t baudRate, int64_t parity, int64_t dataBits,
                   float stopBits, int64_t handshake, int64_t rxQueueSize, int64_t txQueueSize);

// Stores the timeouts of an open port. Reads here never wait, so only the write bound
// (writeTotalConstantMs + writeTotalMultiplierMs x count) has an effect. False for an unknown port.
bool SerialSetTimeouts(int64_t port, int64_t readIntervalMs, int64_t readTotalConstantMs,
                       int64_t readTotalMultiplierMs, int64_t writeTotalConstantMs,
                       int64_t writeTotalMultiplierMs);

// Bytes waiting in the receive queue; 0 for an unknown port or a failed query.
int64_t SerialBytesWaiting(int64_t port);

// Reads at most count bytes that are already there; never waits. Returns the count read, 0 on failure.
int64_t SerialRead(int64_t port, uint8_t* destination, int64_t count);

// Hands over all bytes and returns when they have left the driver, within the write bound. Returns
// count, or fewer when the bound passed or the port failed.
int64_t SerialWrite(int64_t port, const uint8_t* source, int64_t count);

// Closes a port opened by SerialOpen and removes its lock file; anything else is left alone.
void SerialClose(int64_t port);

// Waits at most maxMs until input is readable. A hung-up line would report readiness at once, so then
// it sleeps maxMs instead to keep a caller's polling loop from spinning.
void SerialWaitForInput(int64_t port, int maxMs);

}  // namespace varnetik
