// The far end of a null-modem pair of COM ports for the Windows serial tests, opened with plain Win32
// calls so that it shares nothing with the serial service under test. scripts/test-windows names the
// pair in VARNETIK_COM_PAIR ("COM5,COM6": the link's port, then the peer's).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace varnetik::testing {

struct ComPair {
  std::string link;
  std::string peer;
};

// False when VARNETIK_COM_PAIR is not set or not of the form "A,B".
inline bool ComPairFromEnvironment(ComPair& pair) {
  const char* value = std::getenv("VARNETIK_COM_PAIR");
  if (value == nullptr) return false;
  const std::string text = value;
  const size_t comma = text.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == text.size()) return false;
  pair = ComPair{text.substr(0, comma), text.substr(comma + 1)};
  return true;
}

class ComPeer {
 public:
  explicit ComPeer(const std::string& name)
      : handle_(::CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr)) {
    if (!IsOpen()) return;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(handle_, &dcb);
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ::SetCommState(handle_, &dcb);
    // A read returns what came within 20 ms of asking, or nothing.
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 20, 0, 1000};
    ::SetCommTimeouts(handle_, &timeouts);
    ::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
  }
  ComPeer(const ComPeer&) = delete;
  ComPeer& operator=(const ComPeer&) = delete;
  ~ComPeer() {
    if (IsOpen()) ::CloseHandle(handle_);
  }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  void Send(const std::vector<uint8_t>& bytes) {
    DWORD written = 0;
    ::WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

  // Collects up to count bytes for at most timeoutMs.
  std::vector<uint8_t> Receive(size_t count, DWORD timeoutMs) {
    std::vector<uint8_t> bytes;
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (bytes.size() < count && ::GetTickCount64() < end) {
      uint8_t piece[64];
      DWORD got = 0;
      const DWORD wanted = static_cast<DWORD>(std::min<size_t>(count - bytes.size(), sizeof piece));
      if (::ReadFile(handle_, piece, wanted, &got, nullptr)) bytes.insert(bytes.end(), piece, piece + got);
    }
    return bytes;
  }

 private:
  HANDLE handle_;
};

}  // namespace varnetik::testing
