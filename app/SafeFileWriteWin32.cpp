#include "app/SafeFileWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace varnetik {

// Windows has no owner and mode bits to carry over and no device or pipe among the files a save dialog
// offers, so QSaveFile alone does the work: a new file beside the target takes its name once complete,
// and where the directory takes no new file the existing one is written in place.
WriteOutcome WriteFileReplacing(const std::string& path, const std::string& bytes) {
  if (path.empty()) return WriteOutcome::CannotCreate;
  const QString name = QFile::decodeName(path.c_str());
  if (QFileInfo(name).isDir()) return WriteOutcome::CannotCreate;
  QSaveFile file(name);
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return WriteOutcome::CannotCreate;
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size) {
    file.cancelWriting();  // the new file is discarded when file goes
    return WriteOutcome::WriteFailed;
  }
  return file.commit() ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

}  // namespace varnetik
