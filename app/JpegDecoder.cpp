// JPEG decoding through libjpeg's own API. libjpeg reports fatal errors by calling error_exit, which by
// default ends the process; ours jumps back here instead, so a damaged picture is merely left out.
#include "app/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace varnetik {

namespace {

struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void LeaveDecoder(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void DiscardMessage(j_common_ptr) {}

// Kept free of C++ objects with destructors between setjmp and any longjmp back to it.
bool DecodeInto(const unsigned char* data, unsigned long size, QImage* image) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = LeaveDecoder;
  errors.base.output_message = DiscardMessage;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                  QImage::Format_RGB888);
  if (image->isNull() || info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  // A truncated or damaged stream only warns and fills the rest with grey; that is not our picture.
  const bool clean = errors.base.num_warnings == 0;
  jpeg_destroy_decompress(&info);
  return clean;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& file) {
  if (file.isEmpty()) return QImage();
  QImage image;
  if (!DecodeInto(reinterpret_cast<const unsigned char*>(file.constData()),
                  static_cast<unsigned long>(file.size()), &image)) {
    return QImage();
  }
  return image;
}

}  // namespace varnetik
