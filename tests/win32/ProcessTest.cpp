// The window as a process: its layout at the display resolutions Wine is set to, and the start-up check
// that scripts and the installer's test rely on.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace varnetik::testing {
namespace {

// A build path as a Windows path on Wine's drive Z:, which maps the host's root.
std::wstring WinePath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* c = unixPath; *c != '\0'; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

struct Finished {
  DWORD exitCode = 1;
  std::string output;
};

// Runs the program with the command line and one more environment variable, collecting its standard output.
Finished RunProgram(const std::wstring& commandLine, const wchar_t* name, const wchar_t* value) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  ::SetEnvironmentVariableW(name, value);
  std::wstring line = commandLine;
  PROCESS_INFORMATION process{};
  Finished finished;
  const BOOL started =
      ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableW(name, nullptr);
  ::CloseHandle(writeEnd);
  if (!started) {
    ::CloseHandle(readEnd);
    return finished;
  }
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) finished.output.append(buffer, read);
  ::CloseHandle(readEnd);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::GetExitCodeProcess(process.hProcess, &finished.exitCode);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return finished;
}

// Wine's display resolution, read by each program when it starts; 96 again when the test ends.
class LogPixels {
 public:
  explicit LogPixels(DWORD dpi) { Set(dpi); }
  ~LogPixels() { Set(96); }

 private:
  static void Set(DWORD dpi) {
    const std::pair<HKEY, const wchar_t*> keys[] = {
        {HKEY_CURRENT_USER, L"Control Panel\\Desktop"},
        {HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"},
    };
    for (const auto& [root, path] : keys) {
      HKEY key = nullptr;
      if (::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) continue;
      ::RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
      ::RegCloseKey(key);
    }
  }
};

// The layout checks of win32_window_test, in a process started at each resolution.
TEST(WindowProcess, LaysOutAtEveryDisplayResolution) {
  for (DWORD dpi : {120u, 144u}) {
    SCOPED_TRACE(dpi);
    LogPixels setting(dpi);
    const Finished run = RunProgram(L"\"" + WinePath(VARNETIK_WINDOW_TEST) + L"\" --gtest_filter=WindowLayout.*",
                                    L"VARNETIK_EXPECT_DPI", std::to_wstring(dpi).c_str());
    EXPECT_EQ(run.exitCode, 0u) << run.output;
  }
}

// With VARNETIK_CLOSE_WHEN_READY the program writes its log to standard output and ends by itself with 0.
TEST(WindowProcess, ClosesWhenReadyAfterWritingItsLog) {
  const Finished run = RunProgram(L"\"" + WinePath(VARNETIK_EXE) + L"\"", L"VARNETIK_CLOSE_WHEN_READY", L"1");
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_GE(run.output.size(), 20u) << run.output;
  EXPECT_EQ(run.output.front(), '[');
  EXPECT_EQ(run.output.substr(run.output.size() - 8), "Bereit.\n") << run.output;
}

}  // namespace
}  // namespace varnetik::testing
