// The logo's JPEG decoder, on libjpeg directly.
#pragma once

#include <QByteArray>
#include <QImage>

namespace varnetik {

// Null on any error or warning.
QImage DecodeJpeg(const QByteArray& file);

}  // namespace varnetik
