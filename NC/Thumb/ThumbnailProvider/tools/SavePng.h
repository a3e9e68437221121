#pragma once
// Writes a bitmap as a PNG file with GDI+'s encoder (GDI+ must be started).
#include <windows.h>
#include <gdiplus.h>

#include <string>
#include <vector>

inline bool PngEncoder(CLSID* encoder) {
  using namespace Gdiplus;
  UINT count = 0, size = 0;
  if (GetImageEncodersSize(&count, &size) != Ok || size == 0) return false;
  std::vector<BYTE> buffer(size);
  ImageCodecInfo* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
  if (GetImageEncoders(count, size, codecs) != Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (lstrcmpW(codecs[i].MimeType, L"image/png") == 0) {
      *encoder = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

inline bool SavePng(HBITMAP bitmap, const std::wstring& path) {
  using namespace Gdiplus;
  CLSID encoder;
  if (!PngEncoder(&encoder)) return false;
  GpBitmap* image = nullptr;
  if (DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) != Ok) return false;
  const bool saved = DllExports::GdipSaveImageToFile(image, path.c_str(), &encoder, nullptr) == Ok;
  DllExports::GdipDisposeImage(image);
  return saved;
}
