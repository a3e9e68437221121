#include "GdiplusThumbnail.h"

#include "GdiplusHandles.h"
#include "GdiplusThumbnailCanvas.h"

using namespace Gdiplus;

HRESULT MakeThumbnailBitmap(ComStreamSource& source, const ThumbnailOptions& options,
                            HBITMAP* bitmap) {
  *bitmap = nullptr;
  // Declared in this order, the guards give back the graphics, then the
  // bitmap, then GDI+ itself, whichever way the call ends.
  GdiplusSession gdiplus;
  if (gdiplus.Result() != Ok) return FromGdiplusStatus(gdiplus.Result());

  GdiplusBitmap image;
  const Status created = DllExports::GdipCreateBitmapFromScan0(
      options.size, options.size, 0, PixelFormat32bppARGB, nullptr, image.Put());
  if (created != Ok) return FromGdiplusStatus(created);

  {
    // Without a graphics nothing is drawn, but the blank (white) picture is
    // still handed back.
    GdiplusGraphics graphics;
    if (DllExports::GdipGetImageGraphicsContext(image.Get(), graphics.Put()) == Ok) {
      GdiplusThumbnailCanvas canvas(graphics.Get(), image.Get());
      NcPathContext ctx{};
      ComposeThumbnail(source, canvas, options, ctx);
    }  // the canvas deletes its pens, brushes and font here
  }

  // A stream that failed part way gives a truncated picture, which the Shell
  // would cache as the file's thumbnail: report the failure instead.
  if (FAILED(source.Failure())) return source.Failure();

  // A new bitmap is fully transparent; over white its background becomes white.
  HBITMAP handle = nullptr;
  const Status converted =
      DllExports::GdipCreateHBITMAPFromBitmap(image.Get(), &handle, COLOUR_BACKGROUND);
  if (converted != Ok) {
    if (handle != nullptr) DeleteObject(handle);
    return FromGdiplusStatus(converted);
  }
  if (handle == nullptr) return E_FAIL;
  *bitmap = handle;
  return S_OK;
}
