// libjpeg reports fatal errors by calling error_exit, which by default ends the process; ours jumps back
// here instead, so a damaged picture is merely left out.
#include "win32/JpegBitmap.h"

#include <csetjmp>
#include <cstdio>
#include <utility>

#include <jpeglib.h>

namespace varnetik::win32 {

namespace {

struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void LeaveDecoder(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void DiscardMessage(j_common_ptr) {}

// DIB rows are padded to whole 32-bit words.
LONG RowBytes(LONG width) { return (width * 3 + 3) & ~3; }

HBITMAP CreateTopDownBitmap(LONG width, LONG height, unsigned char** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  *bits = static_cast<unsigned char*>(pixels);
  return bitmap;
}

// Kept free of C++ objects with destructors between setjmp and any longjmp back to it; the bitmap made
// inside is reached through *result, which is not a local of this frame.
bool DecodeInto(const unsigned char* data, unsigned long size, HBITMAP* result) {
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
  const LONG width = static_cast<LONG>(info.output_width);
  const LONG height = static_cast<LONG>(info.output_height);
  unsigned char* bits = nullptr;
  if (info.output_components != 3 || width <= 0 || height <= 0 ||
      (*result = CreateTopDownBitmap(width, height, &bits)) == nullptr) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    unsigned char* row = bits + static_cast<size_t>(info.output_scanline) * static_cast<size_t>(RowBytes(width));
    jpeg_read_scanlines(&info, &row, 1);
    // libjpeg gives red, green, blue; a DIB stores blue, green, red.
    for (LONG x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
  }
  jpeg_finish_decompress(&info);
  // A truncated or damaged stream only warns and fills the rest with grey; that is not our picture.
  const bool clean = errors.base.num_warnings == 0;
  jpeg_destroy_decompress(&info);
  return clean;
}

}  // namespace

HBITMAP DecodeJpegBitmap(std::span<const unsigned char> file) {
  if (file.empty()) return nullptr;
  HBITMAP bitmap = nullptr;
  if (!DecodeInto(file.data(), static_cast<unsigned long>(file.size()), &bitmap)) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

}  // namespace varnetik::win32
