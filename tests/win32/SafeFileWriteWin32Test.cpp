// Replacing a file on Windows: the old file is replaced whole and nothing is left beside it, names with
// characters beyond any code page survive, and folders, devices and read-only files are refused with
// nothing changed.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "win32/SafeFileWrite.h"

namespace varnetik::win32 {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class SafeFileWriteWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("varnetik-write-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator(dir)) SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir);
  }
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().wstring());
    return names;
  }

  fs::path dir;
};

TEST_F(SafeFileWriteWin32, WritesNewAndReplacesExistingFilesLeavingNothingBeside) {
  const struct {
    const wchar_t* name;
    const char* before;  // nullptr: no file yet
  } cases[] = {
      {L"register.csv", nullptr},
      {L"register.csv", "ein viel l\xC3\xA4ngerer alter Inhalt, der ganz verschwinden muss\r\n"},
      {L"Messwerte_\u00e4\u20ac.csv", nullptr},
      {L"Messwerte_\u00e4\u20ac.csv", "alt"},
      {L"\u6e2c\u5b9a \U0001F600.csv", "alt"},  // beyond the ANSI code page, a surrogate pair included
      {L"werte", "alt"},                        // exactly the name given, no extension added
  };
  for (const auto& c : cases) {
    const fs::path target = dir / c.name;
    if (c.before != nullptr) WriteText(target, c.before);
    EXPECT_EQ(WriteFileReplacing(target.wstring(), "neu\r\n"), WriteOutcome::Written) << target;
    EXPECT_EQ(ReadAll(target), "neu\r\n") << target;
    EXPECT_EQ(Entries(), std::vector<std::wstring>({c.name})) << target;
    fs::remove(target);
  }
}

TEST_F(SafeFileWriteWin32, ReplacementKeepsTheOldFilesAttributes) {
  const fs::path target = dir / L"register.csv";
  WriteText(target, "alt");
  ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(WriteFileReplacing(target.wstring(), "neu"), WriteOutcome::Written);
  EXPECT_EQ(ReadAll(target), "neu");
  EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(Entries().size(), 1u);
}

// Another program has the file open (a spreadsheet showing the last export): where it lets the file be
// replaced or written, the new content goes in; where it locks the file, nothing changes and nothing is
// left beside it.
TEST_F(SafeFileWriteWin32, FileHeldOpenByAnotherProgram) {
  const struct {
    const char* name;
    DWORD share;
    WriteOutcome outcome;
    const char* content;
  } cases[] = {
      {"locked for writing", FILE_SHARE_READ, WriteOutcome::CannotCreate, "alt"},
      {"shared for writing", FILE_SHARE_READ | FILE_SHARE_WRITE, WriteOutcome::Written, "neu"},
      {"shared for deleting", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, WriteOutcome::Written, "neu"},
  };
  for (const auto& c : cases) {
    const fs::path target = dir / L"register.csv";
    WriteText(target, "alt");
    const HANDLE held =
        CreateFileW(target.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(WriteFileReplacing(target.wstring(), "neu"), c.outcome) << c.name;
    CloseHandle(held);
    EXPECT_EQ(ReadAll(target), c.content) << c.name;
    EXPECT_EQ(Entries(), std::vector<std::wstring>({L"register.csv"})) << c.name;
    fs::remove(target);
  }
}

TEST_F(SafeFileWriteWin32, RefusesWhatMayNotBeWrittenAndChangesNothing) {
  const fs::path readOnly = dir / L"schreibgesch\u00fctzt.csv";
  WriteText(readOnly, "alt");
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  fs::create_directories(dir / L"Ordner.csv");
  const struct {
    std::wstring path;
  } cases[] = {
      {readOnly.wstring()},
      {(dir / L"Ordner.csv").wstring()},
      {(dir / L"fehlt" / L"register.csv").wstring()},
      {(dir / L"NUL").wstring()},
      {L"nul.csv"},
      {(dir / L"con").wstring()},
      {(dir / L"COM1.csv").wstring()},
      {L"LPT1 "},
      {L"\\\\.\\COM1"},
      {L"\\\\.\\PhysicalDrive0"},
      {L"\\\\?\\GLOBALROOT\\Device\\Null"},
      {(dir / L"a?b.csv").wstring()},
      {L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WriteFileReplacing(c.path, "neu"), WriteOutcome::CannotCreate) << fs::path(c.path);
  }
  EXPECT_EQ(ReadAll(readOnly), "alt");
  EXPECT_TRUE(fs::is_directory(dir / L"Ordner.csv"));
  EXPECT_EQ(Entries().size(), 2u);
}

TEST(NamesDevice, ReservedNamesInAnyFolderAndTheDeviceNamespaces) {
  const struct {
    const wchar_t* path;
    bool device;
  } cases[] = {
      {L"CON", true},           {L"con.csv", true},          {L"C:\\Daten\\NUL.txt", true},
      {L"C:\\Daten\\com9", true}, {L"D:lpt3.csv", true},      {L"AUX ", true},
      {L"C:/x/PRN.csv", true},  {L"COM\u00b9", true},         {L"CONIN$", true},
      {L"\\\\.\\C:", true},     {L"\\\\?\\COM1", true},
      {L"C:\\Daten\\COM10.csv", false}, {L"C:\\Daten\\CONSOLE.csv", false}, {L"C:\\NUL\\werte.csv", false},
      {L"register.csv", false}, {L"\\\\?\\C:\\Daten\\register.csv", false},
      {L"\\\\server\\share\\register.csv", false}, {L"\\\\?\\UNC\\server\\share\\con1.csv", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NamesDevice(c.path), c.device) << fs::path(c.path);
}

}  // namespace
}  // namespace varnetik::win32
