#include "serial/ComDeviceWin32.h"

#include <algorithm>

#include "serial/PortName.h"

namespace varnetik {

namespace {

BYTE StopBitsCode(float stopBits) {
  if (stopBits == 1.0f) return ONESTOPBIT;
  if (stopBits == 2.0f) return TWOSTOPBITS;
  return ONE5STOPBITS;
}

// Windows keeps a port's DCB after it is closed, so whatever a terminal program or "mode COM3 xon=on"
// left there would act on every Modbus frame: XON/XOFF swallows 0x11 and 0x13, DSR sensitivity with DSR
// low drops every byte, DSR flow control stalls every write, fNull drops 0x00, the error character
// replaces bytes and abort-on-error stops all reads after one line error.
void MakeBinaryClean(DCB& dcb) {
  dcb.fBinary = TRUE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
}

}  // namespace

std::wstring Utf16(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

HANDLE OpenComDevice(const std::string& portName) {
  // Share mode 0 refuses the port while any program holds it.
  return ::CreateFileW(Utf16(DevicePathForPortName(portName)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

bool ConfigureLine(HANDLE port, const LineSettings& line) {
  if (line.baudRate <= 0 || line.baudRate > MAXDWORD || line.parity < kParityNone || line.parity > kParityEven ||
      (line.dataBits != 7 && line.dataBits != 8)) {
    return false;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) return false;
  dcb.BaudRate = static_cast<DWORD>(line.baudRate);
  dcb.fParity = 1;
  dcb.ByteSize = static_cast<BYTE>(line.dataBits);
  dcb.Parity = static_cast<BYTE>(line.parity);
  dcb.StopBits = StopBitsCode(line.stopBits);
  MakeBinaryClean(dcb);
  if (line.handshake == 0) {
    dcb.fOutxCtsFlow = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
  }
  return ::SetCommState(port, &dcb) != 0;
}

}  // namespace varnetik
