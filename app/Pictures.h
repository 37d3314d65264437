// The embedded pictures and their decoders. A picture that fails is returned null and the caller leaves
// its control out.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QString>

namespace varnetik {

// Bytes of an embedded asset by file name ("varnetik.ico", "logo.jpg", "donation.gif"); empty if absent.
QByteArray EmbeddedAsset(const QString& name);

// An ICO file is used only when it is longer than 6 bytes, its type word is 1, it holds at least one
// image, and the first directory entry's image lies inside the file.
bool IconFilePasses(const QByteArray& file);
// The icon of the first image, or a null icon when the file fails its checks or does not decode.
QIcon IconFromFile(const QByteArray& file);

// Decoded with Qt's GIF reader; null on failure.
QImage DecodeGif(const QByteArray& file);

}  // namespace varnetik
