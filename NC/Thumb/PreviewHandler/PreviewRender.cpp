#include "PreviewRender.h"

#include <algorithm>

#include "ComStreamSource.h"
#include "GdiplusHandles.h"
#include "GdiplusThumbnailCanvas.h"

using namespace Gdiplus;

bool PreviewBitmap::Create(int width, int height) {
  Reset();
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 first, as GDI+ lays rows out
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  dc_ = CreateCompatibleDC(nullptr);
  if (bitmap_ == nullptr || dc_ == nullptr || bits == nullptr) {
    Reset();
    return false;
  }
  replaced_ = SelectObject(dc_, bitmap_);
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  return true;
}

void PreviewBitmap::Reset() {
  if (dc_ != nullptr) {
    if (replaced_ != nullptr) SelectObject(dc_, replaced_);
    DeleteDC(dc_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  replaced_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

namespace {

void Paint(const PreviewBitmap& bitmap, uint32_t colour) {
  std::fill(bitmap.Bits(), bitmap.Bits() + static_cast<size_t>(bitmap.Width()) * bitmap.Height(),
            colour);
}

}  // namespace

HRESULT RenderPreview(IStream* stream, const ThumbnailOptions& overlays,
                      const PreviewColours& colours, PreviewBitmap& bitmap) {
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
