#include "win32/GifBitmap.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>

namespace varnetik::win32 {

namespace {

// OleLoadPicture reads bitmaps, icons, metafiles and JPEGs as well; only a GIF is taken for this picture.
bool IsGif(std::span<const unsigned char> file) {
  return file.size() >= 6 && (std::memcmp(file.data(), "GIF87a", 6) == 0 || std::memcmp(file.data(), "GIF89a", 6) == 0);
}

IPicture* LoadPicture(std::span<const unsigned char> file) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, file.size());
  if (memory == nullptr) return nullptr;
  if (void* target = GlobalLock(memory)) {
    std::memcpy(target, file.data(), file.size());
    GlobalUnlock(memory);
  } else {
    GlobalFree(memory);
    return nullptr;
  }
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    return nullptr;
  }
  IPicture* picture = nullptr;
  if (FAILED(OleLoadPicture(stream, static_cast<LONG>(file.size()), FALSE, IID_IPicture,
                            reinterpret_cast<void**>(&picture)))) {
    picture = nullptr;
  }
  stream->Release();
  return picture;
}

// The picture's size in pixels, from its own bitmap: its HIMETRIC size depends on the screen's DPI.
bool PixelSize(IPicture& picture, SIZE* size) {
  SHORT type = PICTYPE_UNINITIALIZED;
  OLE_HANDLE handle = 0;
  if (FAILED(picture.get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture.get_Handle(&handle))) return false;
  BITMAP bitmap{};
  if (GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof(bitmap), &bitmap) == 0) return false;
  *size = {bitmap.bmWidth, bitmap.bmHeight};
  return size->cx > 0 && size->cy > 0;
}

HBITMAP Draw(IPicture& picture, SIZE size, COLORREF background) {
  OLE_XSIZE_HIMETRIC sourceWidth = 0;
  OLE_YSIZE_HIMETRIC sourceHeight = 0;
  if (FAILED(picture.get_Width(&sourceWidth)) || FAILED(picture.get_Height(&sourceHeight))) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  const RECT all{0, 0, size.cx, size.cy};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  // HIMETRIC runs upwards: the source starts at the bottom edge and has a negative height.
  const HRESULT drawn = picture.Render(dc, 0, 0, size.cx, size.cy, 0, sourceHeight, sourceWidth, -sourceHeight, nullptr);
  SelectObject(dc, previous);
  DeleteDC(dc);
  if (FAILED(drawn)) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

}  // namespace

HBITMAP DecodeGifBitmap(std::span<const unsigned char> file, COLORREF background) {
  if (!IsGif(file)) return nullptr;
  IPicture* picture = LoadPicture(file);
  if (picture == nullptr) return nullptr;
  SIZE size{};
  HBITMAP bitmap = PixelSize(*picture, &size) ? Draw(*picture, size, background) : nullptr;
  picture->Release();
  return bitmap;
}

}  // namespace varnetik::win32
