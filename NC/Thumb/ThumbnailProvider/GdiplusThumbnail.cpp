#include "GdiplusThumbnail.h"

#include <gdiplus.h>

#include "GdiplusThumbnailCanvas.h"

using namespace Gdiplus;

HRESULT MakeThumbnailBitmap(ByteSource& source, const ThumbnailOptions& options,
                            HBITMAP* bitmap) {
  *bitmap = nullptr;
  // Version 1, no debug callback, GDI+'s own background thread, external codecs.
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  if (GdiplusStartup(&token, &startup, nullptr) != Ok) return E_NOTIMPL;

  GpBitmap* image = nullptr;
  if (DllExports::GdipCreateBitmapFromScan0(options.size, options.size, 0, PixelFormat32bppARGB,
                                            nullptr, &image) != Ok) {
    GdiplusShutdown(token);
    return E_NOTIMPL;
  }

  // Without a graphics nothing is drawn, but the blank (white) picture is
  // still handed back.
  GpGraphics* graphics = nullptr;
  if (DllExports::GdipGetImageGraphicsContext(image, &graphics) != Ok) graphics = nullptr;
  if (graphics != nullptr) {
    GdiplusThumbnailCanvas canvas(graphics, image);
    NcPathContext ctx{};
    ComposeThumbnail(source, canvas, options, ctx);
  }  // the canvas deletes its pens, brushes and font here

  // A new bitmap is fully transparent; over white its background becomes white.
  HBITMAP handle = nullptr;
  if (DllExports::GdipCreateHBITMAPFromBitmap(image, &handle, COLOUR_BACKGROUND) != Ok) {
    handle = nullptr;
  }
  if (graphics != nullptr) DllExports::GdipDeleteGraphics(graphics);
  DllExports::GdipDisposeImage(image);
  GdiplusShutdown(token);

  *bitmap = handle;
  return handle != nullptr ? S_OK : E_NOTIMPL;
}
