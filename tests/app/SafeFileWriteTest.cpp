// Replacing a file: a failure half-way leaves the old file whole, the old mode and owner stay, links stay
// links, a file the user may not write is refused, and where no replacement is possible but the file
// itself is writable it is written in place.
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
#include "tests/support/CaseNames.h"

namespace varnetik {
namespace {

namespace fs = std::filesystem;
using testing::ByName;

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

struct stat StatOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info;
}

// As root every file is writable: the replacement must still carry the old mode, read-only included,
// and the old owner.
TEST_F(SafeFileWrite, ReplacesKeepingModeAndOwnerAndLeavesNothingBeside) {
  const struct {
    mode_t mode;
    uid_t owner;
  } cases[] = {{0640, 0}, {0444, 0}, {0604, 65534}};
  for (const auto& c : cases) {
    const fs::path target = dir / "register.csv";
    WriteText(target, std::string(1000, 'o'));
    chmod(target.c_str(), c.mode);
    if (geteuid() == 0) {
      ASSERT_EQ(chown(target.c_str(), c.owner, c.owner), 0);
    }
    const struct stat before = StatOf(target);
    EXPECT_EQ(WriteFileReplacing(target, "neu\r\n"), WriteOutcome::Written) << std::oct << c.mode;
    EXPECT_EQ(ReadAll(target), "neu\r\n");
    const struct stat after = StatOf(target);
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(EntryCount(), 1u);
    fs::remove(target);
  }
}

// The file a link names is written, and created if it does not exist yet; the link stays a link.
TEST_F(SafeFileWrite, LinkStaysALinkAndItsFileIsWritten) {
  for (bool targetExists : {true, false}) {
    const fs::path real = dir / "real.csv";
    const fs::path link = dir / "link.csv";
    if (targetExists) WriteText(real, "alt");
    fs::create_symlink(real, link);
    EXPECT_EQ(WriteFileReplacing(link, "neu"), WriteOutcome::Written) << targetExists;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(real), "neu");
    EXPECT_EQ(EntryCount(), 2u);
    fs::remove(link);
    fs::remove(real);
  }
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

// Nobody reads the pipe: the save must be refused at once rather than wait for a reader forever.
TEST_F(SafeFileWrite, PipeWithoutReaderIsRefusedNotWaitedFor) {
  const fs::path pipe = dir / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(WriteFileReplacing(pipe, "x"), WriteOutcome::CannotCreate);
  EXPECT_TRUE(S_ISFIFO(StatOf(pipe).st_mode));
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

struct UnprivilegedCase {
  const char* name;
  mode_t directoryMode;
  mode_t fileMode;  // 0: there is no file yet
  bool throughLink;  // the path given is a link to the file
  WriteOutcome outcome;
  const char* content;  // afterwards
};
void PrintTo(const UnprivilegedCase& c, std::ostream* os) { *os << c.name; }

class SafeFileWriteUnprivileged : public SafeFileWrite,
                                  public ::testing::WithParamInterface<UnprivilegedCase> {};

// The file belongs to root, the writer is an ordinary user. Whatever the outcome, the file keeps its mode
// and owner and nothing is left beside it.
TEST_P(SafeFileWriteUnprivileged, WritesOnlyWhatTheUserMayWrite) {
  const UnprivilegedCase& c = GetParam();
  const fs::path target = dir / "register.csv";
  const fs::path path = c.throughLink ? dir / "link.csv" : target;
  if (c.fileMode != 0) {
    WriteText(target, "alt");
    chmod(target.c_str(), c.fileMode);
  }
  if (c.throughLink) fs::create_symlink(target, path);
  chmod(dir.c_str(), c.directoryMode);
  const size_t entries = EntryCount();

  EXPECT_EQ(WriteAsUnprivileged(path, "neu"), c.outcome);
  if (c.content == nullptr) {
    EXPECT_FALSE(fs::exists(target));
  } else {
    EXPECT_EQ(ReadAll(target), c.content);
    const struct stat after = StatOf(target);
    EXPECT_EQ(after.st_mode & 07777, c.fileMode);
    EXPECT_EQ(after.st_uid, geteuid());
  }
  EXPECT_EQ(fs::is_symlink(path), c.throughLink);
  EXPECT_EQ(EntryCount(), entries);
}

const UnprivilegedCase kUnprivilegedCases[] = {
    {"ReadOnlyFile", 0777, 0444, false, WriteOutcome::CannotCreate, "alt"},
    {"LinkToReadOnlyFile", 0777, 0444, true, WriteOutcome::CannotCreate, "alt"},
    {"ReadOnlyFileInReadOnlyDirectory", 0555, 0444, false, WriteOutcome::CannotCreate, "alt"},
    {"WritableFileInReadOnlyDirectory", 0555, 0666, false, WriteOutcome::Written, "neu"},
    {"NewFileInReadOnlyDirectory", 0555, 0, false, WriteOutcome::CannotCreate, nullptr},
    // The directory refuses to let another user's file be replaced; it is written in place.
    {"OthersWritableFileInStickyDirectory", 01777, 0666, false, WriteOutcome::Written, "neu"},
    {"OthersReadOnlyFileInStickyDirectory", 01777, 0444, false, WriteOutcome::CannotCreate, "alt"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SafeFileWriteUnprivileged, ::testing::ValuesIn(kUnprivilegedCases),
                         ByName);

}  // namespace
}  // namespace varnetik
