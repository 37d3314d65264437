// Replacing a file: a failure half-way leaves the old file whole, and a directory that takes no new file
// falls back to writing the existing file in place.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "app/SafeFileWrite.h"

namespace varnetik {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class SafeFileWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/varnetik-write-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  size_t EntryCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }

  fs::path dir;
};

TEST_F(SafeFileWrite, ReplacesKeepingPermissionsAndLeavesNothingBeside) {
  const fs::path target = dir / "register.csv";
  WriteText(target, std::string(1000, 'o'));
  chmod(target.c_str(), 0640);
  EXPECT_EQ(WriteFileReplacing(target, "neu\r\n"), WriteOutcome::Written);
  EXPECT_EQ(ReadAll(target), "neu\r\n");
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(SafeFileWrite, LinkStaysALinkAndItsFileIsReplaced) {
  const fs::path real = dir / "real.csv";
  const fs::path link = dir / "link.csv";
  WriteText(real, "alt");
  fs::create_symlink(real, link);
  EXPECT_EQ(WriteFileReplacing(link, "neu"), WriteOutcome::Written);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "neu");
}

TEST_F(SafeFileWrite, FailingHalfWayKeepsTheOldFileWhole) {
  const fs::path target = dir / "register.csv";
  WriteText(target, "alter Inhalt");
  // A file size limit makes the write fail after its first bytes, as a full disk would.
  signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const WriteOutcome outcome = WriteFileReplacing(target, std::string(100, 'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(outcome, WriteOutcome::WriteFailed);
  EXPECT_EQ(ReadAll(target), "alter Inhalt");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(SafeFileWrite, DevicesAreWrittenInPlaceNotReplaced) {
  EXPECT_EQ(WriteFileReplacing("/dev/null", "x"), WriteOutcome::Written);
  EXPECT_EQ(WriteFileReplacing("/dev/full", "x"), WriteOutcome::WriteFailed);
  struct stat info {};
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  ASSERT_EQ(stat("/dev/full", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// Runs the write in a child without root rights (root ignores permission bits), returns its outcome.
WriteOutcome WriteAsUnprivileged(const fs::path& path, const std::string& bytes) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    _exit(static_cast<int>(WriteFileReplacing(path, bytes)));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<WriteOutcome>(WIFEXITED(status) ? WEXITSTATUS(status) : 101);
}

TEST_F(SafeFileWrite, DirectoryThatTakesNoNewFileFallsBackToTheExistingFile) {
  const fs::path writable = dir / "beschreibbar.csv";
  const fs::path readOnly = dir / "schreibgeschuetzt.csv";
  WriteText(writable, "alt");
  WriteText(readOnly, "alt");
  chmod(writable.c_str(), 0666);
  chmod(readOnly.c_str(), 0444);
  chmod(dir.c_str(), 0555);
  EXPECT_EQ(WriteAsUnprivileged(writable, "neu\r\n"), WriteOutcome::Written);
  EXPECT_EQ(ReadAll(writable), "neu\r\n");
  EXPECT_EQ(WriteAsUnprivileged(readOnly, "neu"), WriteOutcome::CannotCreate);
  EXPECT_EQ(ReadAll(readOnly), "alt");
  EXPECT_EQ(WriteAsUnprivileged(dir / "neu.csv", "neu"), WriteOutcome::CannotCreate);
  EXPECT_FALSE(fs::exists(dir / "neu.csv"));
}

}  // namespace
}  // namespace varnetik
