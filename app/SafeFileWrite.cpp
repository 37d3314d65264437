#include "app/SafeFileWrite.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnetik {

namespace {

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

// Writes into the existing file itself; it is never created here. O_NOCTTY: a terminal chosen as the
// target must not become our controlling terminal. O_NONBLOCK only for the open: a pipe nobody reads and
// a serial line without carrier would otherwise hold the window forever; the pipe is refused instead.
WriteOutcome WriteInPlace(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return WriteOutcome::CannotCreate;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return WriteOutcome::CannotCreate;
  }
  const bool written = WriteAll(fd, bytes);
  const bool closed = ::close(fd) == 0;
  return written && closed ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

// QSaveFile copies the old mode through Qt's permission flags, which add the owner's write bit wherever
// we may write (always as root), and the new file would be ours. Owner first: a change of owner clears
// the set-id bits that the mode then puts back. Where we may not change them, the new file keeps ours.
void TakeOverOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Only root or the owner may; an ordinary user's replacement of another user's file stays theirs.
  }
  ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

WriteOutcome WriteFileReplacing(const std::string& path, const std::string& bytes) {
  if (path.empty()) return WriteOutcome::CannotCreate;
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;  // through a link, to the file it names
  if (exists && S_ISDIR(existing.st_mode)) return WriteOutcome::CannotCreate;
  // Renaming over a device or a pipe would replace it by a plain file.
  if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(path, bytes);

  // QSaveFile follows links, refuses an existing file we may not write, and with the fallback writes the
  // existing file in place where the directory takes no new file.
  QSaveFile file(QFile::decodeName(path.c_str()));
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return WriteOutcome::CannotCreate;
  if (exists) TakeOverOwnerAndMode(file.handle(), existing);
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size) {
    file.cancelWriting();  // the new file is discarded when file goes
    return WriteOutcome::WriteFailed;
  }
  if (file.commit()) return WriteOutcome::Written;
  // A sticky directory refuses to let another user's file be replaced, though we may write the file.
  if (exists && file.error() == QFileDevice::RenameError) return WriteInPlace(path, bytes);
  return WriteOutcome::WriteFailed;
}

}  // namespace varnetik
