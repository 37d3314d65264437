#include "app/Pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <cstdint>

namespace varnetik {

namespace {

constexpr int kIconHeaderSize = 6;
constexpr int kIconDirectoryEntrySize = 16;

uint32_t LittleEndian(const QByteArray& bytes, int offset, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

}  // namespace

QByteArray EmbeddedAsset(const QString& name) {
  QFile file(QStringLiteral(":/assets/") + name);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

bool IconFilePasses(const QByteArray& file) {
  const int64_t size = file.size();
  if (size <= kIconHeaderSize) return false;
  if (LittleEndian(file, 2, 2) != 1) return false;
  if (LittleEndian(file, 4, 2) < 1) return false;
  // The entry itself must be there before its fields can be read.
  if (size < kIconHeaderSize + kIconDirectoryEntrySize) return false;
  const int64_t imageSize = LittleEndian(file, kIconHeaderSize + 8, 4);
  const int64_t imageOffset = LittleEndian(file, kIconHeaderSize + 12, 4);
  return imageOffset + imageSize <= size;
}

QIcon IconFromFile(const QByteArray& file) {
  if (!IconFilePasses(file)) return QIcon();
  QImage image = QImage::fromData(file, "ICO");
  if (image.isNull()) return QIcon();
  return QIcon(QPixmap::fromImage(image));
}

QImage DecodeGif(const QByteArray& file) {
  QBuffer buffer;
  buffer.setData(file);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  return reader.read();
}

}  // namespace varnetik
