#include "PreviewRender.h"

#include <algorithm>

#include "ComStreamSource.h"
#include "GdiplusHandles.h"
#include "GdiplusThumbnailCanvas.h"

using namespace Gdiplus;

namespace {

void Paint(const DibSection& bitmap, uint32_t colour) {
  std::fill(bitmap.Bits(), bitmap.Bits() + static_cast<size_t>(bitmap.Width()) * bitmap.Height(),
            colour);
}

}  // namespace

HRESULT RenderPreview(IStream* stream, const ThumbnailOptions& overlays,
                      const PreviewColours& colours, DibSection& bitmap) {
  Paint(bitmap, colours.background);
  GdiplusSession gdiplus;
  if (gdiplus.Result() != Ok) return FromGdiplusStatus(gdiplus.Result());
  // GDI+ draws straight into the DIB's bits: no copy between the two.
  GdiplusBitmap image;
  const Status created = DllExports::GdipCreateBitmapFromScan0(
      bitmap.Width(), bitmap.Height(), bitmap.Width() * 4, PixelFormat32bppARGB,
      reinterpret_cast<BYTE*>(bitmap.Bits()), image.Put());
  if (created != Ok) return FromGdiplusStatus(created);
  GdiplusGraphics graphics;
  const Status context = DllExports::GdipGetImageGraphicsContext(image.Get(), graphics.Put());
  if (context != Ok) return FromGdiplusStatus(context);

  PreviewOptions options;
  options.width = bitmap.Width();
  options.height = bitmap.Height();
  options.overlays = overlays;
  options.overlays.textColour = colours.text;
  options.overlays.bandColour = colours.band;

  ComStreamSource source(stream);
  bool drawn = false;
  {
    GdiplusThumbnailCanvas canvas(graphics.Get(), image.Get(), true);
    ProgramHead head;
    // A binary file is not interpreted at all.
    if (ReadProgramHead(source, head) && !head.binary) {
      NcPathContext ctx{};
      drawn = ComposePreview(source, canvas, options, head.unit, ctx);
    }
  }  // the canvas gives back the bits and its pens, brushes and font here
  // A picture cut short by a failing stream would pass for the program's.
  if (drawn && SUCCEEDED(source.Failure())) return S_OK;
  DllExports::GdipFlush(graphics.Get(), FlushIntentionSync);
  Paint(bitmap, colours.background);
  GdiplusThumbnailCanvas canvas(graphics.Get(), image.Get(), true);
  ComposePreviewMessage(canvas, options);
  return source.Failure();
}
