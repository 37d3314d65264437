// The far end of a null-modem pair of COM ports for the Windows serial tests, opened with plain Win32
// calls so that it shares nothing with the serial service under test. scripts/test-windows names the
// pair in VARNETIK_COM_PAIR ("COM5,COM6": the link's port, then the peer's), and under Wine the host's
// terminals behind them in VARNETIK_COM_PAIR_TTYS.
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
  std::string linkTty;  // the host's terminal behind link under Wine; empty elsewhere
};

// The DCB of a port as the driver keeps it; DCBlength 0 when the port cannot be opened.
inline DCB CommStateOf(const std::string& name) {
  DCB dcb{};
  const HANDLE port = ::CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return dcb;
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) dcb.DCBlength = 0;
  ::CloseHandle(port);
  return dcb;
}

// Opens name, lets change alter its DCB, sets it and closes the port again: what a terminal program or
// "mode COM5 ..." leaves in the driver for the next program.
template <typename Change>
bool LeaveCommState(const std::string& name, Change&& change) {
  DCB dcb = CommStateOf(name);
  if (dcb.DCBlength == 0) return false;
  change(dcb);
  const HANDLE port = ::CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return false;
  const bool set = ::SetCommState(port, &dcb) != 0;
  ::CloseHandle(port);
  return set;
}

// The output of "stty -a" for a terminal of the host, run as a host program (Wine starts Unix programs
// from a Windows one, but hands them no Windows pipe, so the text comes through a file next to the
// terminal's name, read on the Z: drive that Wine maps to the host's root). Empty when it cannot be run.
inline std::string HostTerminalSettings(const std::string& unixPath) {
  const std::string file = unixPath + ".stty";
  ::DeleteFileA(("Z:" + file).c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Renamed into place when complete, so that a file that exists is whole.
  std::string command = "/bin/sh -c \"stty -a -F '" + unixPath + "' >'" + file + ".tmp' && mv '" + file + ".tmp' '" +
                        file + "'\"";
  if (!::CreateProcessA("Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return std::string();
  }
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  for (int wait = 0; wait < 500; ++wait) {
    const HANDLE output = ::CreateFileA(("Z:" + file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        0, nullptr);
    if (output != INVALID_HANDLE_VALUE) {
      std::string text;
      char piece[512];
      DWORD got = 0;
      while (::ReadFile(output, piece, sizeof piece, &got, nullptr) && got > 0) text.append(piece, got);
      ::CloseHandle(output);
      return text;
    }
    ::Sleep(10);
  }
  return std::string();
}

// False when VARNETIK_COM_PAIR is not set or not of the form "A,B".
inline bool ComPairFromEnvironment(ComPair& pair) {
  const char* value = std::getenv("VARNETIK_COM_PAIR");
  if (value == nullptr) return false;
  const std::string text = value;
  const size_t comma = text.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == text.size()) return false;
  pair = ComPair{text.substr(0, comma), text.substr(comma + 1), std::string()};
  const char* ttys = std::getenv("VARNETIK_COM_PAIR_TTYS");
  if (ttys != nullptr) pair.linkTty = std::string(ttys).substr(0, std::string(ttys).find(','));
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
    // Binary and without XON/XOFF whatever a test left on the port, so that every byte passes.
    dcb.fBinary = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
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
