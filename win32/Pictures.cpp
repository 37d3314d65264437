#include "win32/Pictures.h"

#include <string>

#include "operator/ControlId.h"
#include "operator/InfoContent.h"
#include "operator/WebAddresses.h"
#include "operator/WebPictureNames.h"
#include "win32/EmbeddedPictures.h"
#include "win32/JpegBitmap.h"
#include "win32/PictureControl.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

HWND CreateLogoPicture(HWND parent) { return CreateLogoPicture(parent, EmbeddedLogoJpeg()); }

HWND CreateLogoPicture(HWND parent, std::span<const unsigned char> jpegFile) {
  HBITMAP bitmap = DecodeJpegBitmap(jpegFile);
  if (bitmap == nullptr) return nullptr;
  return CreatePictureControl(parent, static_cast<int>(ControlId::LogoPicture), bitmap, 0, 0,
                              {Wide(WebAddressHost(kMakerPageAddress)),
                               Wide(kLogoPictureName)},
                              PictureFocus::NoTabStop);
}

SIZE PictureLogicalSize(HWND picture) { return PictureBitmapSize(picture); }

}  // namespace varnetik::win32
