#include "serial/SerialPort.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "serial/PortName.h"

namespace varnetik {

namespace {

// The ports this service opened, by handle value. Only these are ever read, written or closed, so a
// stale or invented identifier can never touch a handle that belongs to someone else.
std::mutex registryMutex;
std::set<int64_t> openPorts;

bool IsRegistered(int64_t port) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return openPorts.count(port) != 0;
}

HANDLE AsHandle(int64_t port) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(port)); }

DWORD AsDword(int64_t value) { return static_cast<DWORD>(std::clamp<int64_t>(value, 0, MAXDWORD)); }

std::wstring Utf16(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

BYTE StopBitsCode(float stopBits) {
  if (stopBits == 1.0f) return ONESTOPBIT;
  if (stopBits == 2.0f) return TWOSTOPBITS;
  return ONE5STOPBITS;
}

// The line settings on top of what the driver reports: parity checking on for every parity (the driver
// then flags bad characters; "none" has nothing to check), no CTS flow control and RTS off for
// handshake 0. DTR, DSR, XON/XOFF and error handling stay as the driver had them.
bool ConfigureLine(HANDLE port, int64_t baudRate, int64_t parity, int64_t dataBits, float stopBits,
                   int64_t handshake) {
  // Parity codes are the Win32 ones (NOPARITY, ODDPARITY, EVENPARITY); mark and space parity and
  // other character sizes exist on Windows but not in this program, as on the POSIX side.
  if (baudRate <= 0 || baudRate > MAXDWORD || parity < 0 || parity > 2 || (dataBits != 7 && dataBits != 8)) {
    return false;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) return false;
  dcb.BaudRate = static_cast<DWORD>(baudRate);
  dcb.fParity = 1;
  dcb.ByteSize = static_cast<BYTE>(dataBits);
  dcb.Parity = static_cast<BYTE>(parity);
  dcb.StopBits = StopBitsCode(stopBits);
  if (handshake == 0) {
    dcb.fOutxCtsFlow = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
  }
  return ::SetCommState(port, &dcb) != 0;
}

// Bytes in the driver's receive queue. The same call clears a pending line error (framing, parity,
// overrun, break), which would otherwise stop every later read and write.
int64_t QueuedInput(HANDLE port) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(port, &errors, &status)) return 0;
  return status.cbInQue;
}

}  // namespace

int64_t SerialOpen(const std::string& portName, int64_t baudRate, int64_t parity, int64_t dataBits,
                   float stopBits, int64_t handshake, int64_t rxQueueSize, int64_t txQueueSize,
                   const PortClaimRules& /*rules: Windows keeps other openers out by share mode 0*/) {
  // Synchronous I/O, opened exclusively: share mode 0 refuses the port while any program holds it.
  const HANDLE port = ::CreateFileW(Utf16(DevicePathForPortName(portName)).c_str(),
                                    GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return kNoSerialPort;
  if (rxQueueSize > 0 && txQueueSize > 0) ::SetupComm(port, AsDword(rxQueueSize), AsDword(txQueueSize));
  if (!ConfigureLine(port, baudRate, parity, dataBits, stopBits, handshake)) {
    ::CloseHandle(port);
    return kNoSerialPort;
  }
  // Reads never wait (see SerialRead); a write gives up after 10 + 100 ms per byte until the link
  // sets its own bounds.
  COMMTIMEOUTS timeouts{0, 0, 0, 100, 10};
  ::SetCommTimeouts(port, &timeouts);
  const int64_t id = static_cast<int64_t>(reinterpret_cast<intptr_t>(port));
  std::lock_guard<std::mutex> lock(registryMutex);
  openPorts.insert(id);
  return id;
}

int64_t SerialOpen(const std::string& portName, int64_t baudRate, int64_t parity, int64_t dataBits,
                   float stopBits, int64_t handshake, int64_t rxQueueSize, int64_t txQueueSize) {
  return SerialOpen(portName, baudRate, parity, dataBits, stopBits, handshake, rxQueueSize, txQueueSize,
                    PortClaimRules{});
}

bool SerialSetTimeouts(int64_t port, int64_t readIntervalMs, int64_t readTotalConstantMs,
                       int64_t readTotalMultiplierMs, int64_t writeTotalConstantMs,
                       int64_t writeTotalMultiplierMs) {
  if (!IsRegistered(port)) return false;
  COMMTIMEOUTS timeouts{AsDword(readIntervalMs), AsDword(readTotalMultiplierMs), AsDword(readTotalConstantMs),
                        AsDword(writeTotalMultiplierMs), AsDword(writeTotalConstantMs)};
  return ::SetCommTimeouts(AsHandle(port), &timeouts) != 0;
}

int64_t SerialBytesWaiting(int64_t port) {
  if (!IsRegistered(port)) return 0;
  return QueuedInput(AsHandle(port));
}

int64_t SerialRead(int64_t port, uint8_t* destination, int64_t count) {
  if (count <= 0 || !IsRegistered(port)) return 0;
  // Asking only for bytes already queued keeps ReadFile from waiting out the read timeouts.
  const DWORD wanted = AsDword(std::min(count, QueuedInput(AsHandle(port))));
  if (wanted == 0) return 0;
  DWORD got = 0;
  if (!::ReadFile(AsHandle(port), destination, wanted, &got, nullptr)) return 0;
  return got;
}

int64_t SerialWrite(int64_t port, const uint8_t* source, int64_t count) {
  if (count <= 0 || !IsRegistered(port)) return 0;
  // One synchronous write, bounded by the write timeouts of the port.
  DWORD written = 0;
  if (!::WriteFile(AsHandle(port), source, AsDword(count), &written, nullptr)) return 0;
  return written;
}

void SerialClose(int64_t port) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (openPorts.erase(port) == 0) return;
  }
  ::CloseHandle(AsHandle(port));
}

// Windows offers no readiness wait on a synchronous port, so this is a pause. At the default timer
// resolution Sleep(1) lasts about 15 ms; 1 ms resolution is asked for once and kept for the run.
void SerialWaitForInput(int64_t /*port*/, int maxMs) {
  static const bool fineTimer = ::timeBeginPeriod(1) == TIMERR_NOERROR;
  (void)fineTimer;
  if (maxMs > 0) ::Sleep(static_cast<DWORD>(maxMs));
}

}  // namespace varnetik
