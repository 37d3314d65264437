#include "win32/CloseWhenReady.h"

#include <cstdlib>

namespace varnetik::win32 {

namespace {

bool WriteAll(HANDLE output, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!::WriteFile(output, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

bool WriteToStandardOutput(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\n";
  HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  bool attached = false;
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    attached = true;
    output = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (output == INVALID_HANDLE_VALUE) {
      ::FreeConsole();
      return false;
    }
    // The console shows the bytes as UTF-8 text, umlauts included.
    ::SetConsoleOutputCP(CP_UTF8);
  }
  const bool written = WriteAll(output, bytes);
  if (attached) {
    ::CloseHandle(output);
    ::FreeConsole();
  } else {
    ::FlushFileBuffers(output);
  }
  return written;
}

void CloseWhenReadyIfAsked(MainWindow& window) {
  if (std::getenv("VARNETIK_CLOSE_WHEN_READY") == nullptr) return;
  // The window is built and its log written: start-up has run to its end before the loop starts.
  std::vector<std::string> lines;
  for (int64_t i = 0; i < window.Log().LineCount(); ++i) lines.push_back(window.Log().Line(i));
  WriteToStandardOutput(lines);
  // Handled by the loop like the operator's close request.
  ::PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
}

}  // namespace varnetik::win32
