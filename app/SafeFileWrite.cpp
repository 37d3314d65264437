#include "app/SafeFileWrite.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnetik {

namespace {

constexpr int kTempNameAttempts = 16;

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Writes into the existing file itself; it is never created here.
WriteOutcome WriteInPlace(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return WriteOutcome::CannotCreate;
  const bool written = WriteAll(fd, bytes);
  const bool closed = ::close(fd) == 0;
  return written && closed ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A link is followed, so that the file it points to is replaced and the link stays a link.
std::string ResolvedTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// Creates a new, empty file beside target with the usual permissions (umask applied); -1 if the
// directory takes no new file.
int CreateTempBeside(const std::string& target, std::string& tempPath) {
  const std::string stem = DirectoryOf(target) + "/." + BaseNameOf(target) + ".tmp-" + std::to_string(::getpid());
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    tempPath = stem + "-" + std::to_string(attempt);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

WriteOutcome WriteFileReplacing(const std::string& path, const std::string& bytes) {
  if (path.empty()) return WriteOutcome::CannotCreate;
  const std::string target = ResolvedTarget(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return WriteOutcome::CannotCreate;
  // Renaming over a device or a pipe would replace it by a plain file.
  if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(target, bytes);

  std::string tempPath;
  const int fd = CreateTempBeside(target, tempPath);
  if (fd < 0) return exists ? WriteInPlace(target, bytes) : WriteOutcome::CannotCreate;
  if (exists) ::fchmod(fd, existing.st_mode & 07777);
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(tempPath.c_str(), target.c_str()) != 0) {
    ::unlink(tempPath.c_str());
    return WriteOutcome::WriteFailed;
  }
  return WriteOutcome::Written;
}

}  // namespace varnetik
