#include "serial/SerialPort.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include <algorithm>
#include <utility>

#include "serial/ComDeviceWin32.h"

namespace varnetik {

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD AsDword(int64_t value) { return static_cast<DWORD>(std::clamp<int64_t>(value, 0, MAXDWORD)); }

bool ApplyTimeouts(HANDLE port, const PortTimeouts& timeouts) {
  COMMTIMEOUTS values{AsDword(timeouts.readIntervalMs), AsDword(timeouts.readTotalMultiplierMs),
                      AsDword(timeouts.readTotalConstantMs), AsDword(timeouts.writeTotalMultiplierMs),
                      AsDword(timeouts.writeTotalConstantMs)};
  return ::SetCommTimeouts(port, &values) != 0;
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

// Windows keeps other openers out by the share mode alone: no lock file, no look at other processes.
PortOpenResult SerialPort::Open(const std::string& portName, const LineSettings& line, int64_t rxQueueSize,
                                int64_t txQueueSize, const PortClaimRules& /*rules*/) {
  Close();
  const HANDLE port = OpenComDevice(portName);
  if (port == INVALID_HANDLE_VALUE) {
    // A COM port held by another program answers with a denied access: share mode 0 is the only lock.
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      return PortOpenResult::Refused(PortRefusal::InUse);
    }
    return PortOpenResult::Refused(PortRefusal::NoSuchDevice);
  }
  if (rxQueueSize > 0 && txQueueSize > 0) ::SetupComm(port, AsDword(rxQueueSize), AsDword(txQueueSize));
  if (!ConfigureLine(port, line)) {
    ::CloseHandle(port);
    return PortOpenResult::Refused(PortRefusal::SettingsRefused);
  }
  handle_ = reinterpret_cast<intptr_t>(port);
  timeouts_ = PortTimeouts{};
  ApplyTimeouts(port, timeouts_);
  return {};
}

bool SerialPort::SetTimeouts(const PortTimeouts& timeouts) {
  if (!IsOpen()) return false;
  timeouts_ = timeouts;
  return ApplyTimeouts(AsHandle(handle_), timeouts_);
}

int64_t SerialPort::BytesWaiting() const { return IsOpen() ? QueuedInput(AsHandle(handle_)) : 0; }

int64_t SerialPort::Read(uint8_t* destination, int64_t count) {
  if (count <= 0 || !IsOpen()) return 0;
  // Asking only for bytes already queued keeps ReadFile from waiting out the read timeouts.
  const DWORD wanted = AsDword(std::min(count, QueuedInput(AsHandle(handle_))));
  if (wanted == 0) return 0;
  DWORD got = 0;
  if (!::ReadFile(AsHandle(handle_), destination, wanted, &got, nullptr)) return 0;
  return got;
}

int64_t SerialPort::Write(const uint8_t* source, int64_t count) {
  if (count <= 0 || !IsOpen()) return 0;
  // One synchronous write, bounded by the write timeouts of the port.
  DWORD written = 0;
  if (!::WriteFile(AsHandle(handle_), source, AsDword(count), &written, nullptr)) return 0;
  return written;
}

void SerialPort::Close() {
  if (!IsOpen()) return;
  ::CloseHandle(AsHandle(std::exchange(handle_, kNoHandle)));
  lock_.Release();
}

// Windows offers no readiness wait on a synchronous port, so this is a pause of at most 1 ms, after
// which the caller looks at the queue again. At the default timer resolution Sleep(1) lasts about 15 ms;
// 1 ms resolution is asked for once and kept for the run.
void SerialPort::WaitForInput(int maxMs) const {
  static const bool fineTimer = ::timeBeginPeriod(1) == TIMERR_NOERROR;
  (void)fineTimer;
  if (maxMs > 0) ::Sleep(1);
}

}  // namespace varnetik
