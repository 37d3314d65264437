#include "serial/PortProbeWin32.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "serial/ComDeviceWin32.h"

namespace varnetik {

namespace {

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towupper(x) == std::towupper(y);
         });
}

// The device object of the Bluetooth serial profile's outgoing ports.
bool IsBluetoothModem(const std::wstring& device) {
  const std::wstring prefix = L"\\Device\\BthModem";
  return device.size() >= prefix.size() && EqualIgnoringCase(device.substr(0, prefix.size()), prefix);
}

// The device the DOS name stands for; false when there is no such DOS name. Any other failure of the
// query counts as present, so that the open decides.
bool DosDeviceTarget(const std::wstring& name, std::wstring& target) {
  std::vector<wchar_t> text(1024);
  if (::QueryDosDeviceW(name.c_str(), text.data(), static_cast<DWORD>(text.size())) == 0) {
    return ::GetLastError() != ERROR_FILE_NOT_FOUND && ::GetLastError() != ERROR_PATH_NOT_FOUND;
  }
  target = text.data();  // the first of the names in the list
  return true;
}

// The device that the serial-port map names for the COM name; empty when it names none.
std::wstring SerialCommDevice(const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring found;
  for (DWORD index = 0;; ++index) {
    wchar_t device[256];
    wchar_t port[64];
    DWORD deviceLength = sizeof device / sizeof device[0];
    DWORD portBytes = sizeof port - sizeof port[0];  // room for a closing NUL the registry may leave out
    DWORD type = 0;
    const LSTATUS status = ::RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                                           reinterpret_cast<BYTE*>(port), &portBytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    port[portBytes / sizeof port[0]] = L'\0';
    if (EqualIgnoringCase(port, name)) {
      found = device;
      if (IsBluetoothModem(found)) break;
    }
  }
  ::RegCloseKey(key);
  return found;
}

}  // namespace

bool IsComPortWorthProbing(const std::string& name) {
  const std::wstring wide = Utf16(name);
  std::wstring target;
  if (wide.empty() || !DosDeviceTarget(wide, target)) return false;
  return !IsBluetoothModem(target) && !IsBluetoothModem(SerialCommDevice(wide));
}

bool ProbeComPort(const std::string& name, const LineSettings& line, int64_t queueSize) {
  if (!IsComPortWorthProbing(name)) return false;
  const HANDLE port = OpenComDevice(name);
  if (port == INVALID_HANDLE_VALUE) return false;
  const DWORD queue = static_cast<DWORD>(std::clamp<int64_t>(queueSize, 1, MAXDWORD));
  ::SetupComm(port, queue, queue);
  DCB before{};
  before.DCBlength = sizeof before;
  const bool saved = ::GetCommState(port, &before) != 0;
  const bool configured = saved && ConfigureLine(port, line);
  if (saved) ::SetCommState(port, &before);
  ::CloseHandle(port);
  return configured;
}

}  // namespace varnetik
