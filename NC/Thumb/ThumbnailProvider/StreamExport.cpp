// GetThumbNailFromStream: the program's path drawn with a GDI pen on a
// device context of the caller's, without COM objects or GDI+.
#include <windows.h>
#include <objidl.h>

#include "ComStreamSource.h"
#include "GdiPathCanvas.h"
#include "NcPathContext.h"

extern "C" int WINAPI GetThumbNailFromStream(HDC dc, IStream* stream, int32_t* outValue) {
  if (outValue != nullptr) *outValue = 1;
  if (dc == nullptr || stream == nullptr) return 0;

  // The square (0, 0) to (255, 255) of the caller's logical coordinates, no margins.
  NcPathContext ctx{};
  ctx.canvasWidth = ctx.canvasHeight = 255;
  ctx.marginX = ctx.marginY = 0;
  ctx.lineRed = 0, ctx.lineGreen = 0, ctx.lineBlue = 255;
  ctx.markerRed = 48, ctx.markerGreen = 74, ctx.markerBlue = 128;

  GdiPathCanvas canvas(dc);
  ctx.graphics = nullptr;
  ctx.gdi = &canvas;
  ctx.gdiPenSelected = true;

  ComStreamSource source(stream);
  DrawToolpath(ctx, source);  // ends with canvas.EndRun(): the caller's pen is back
  return 0;
}
