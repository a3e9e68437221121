#include "ThumbnailComposition.h"

namespace {

// The layout of the 255-pixel thumbnail, scaled to the picture's size.
struct Layout {
  double k;
  double operator()(double at255) const { return at255 * k; }
};

// Length of the valid UTF-8 sequence at `s`, or 0 when it is not one.
int Utf8SequenceLength(const unsigned char* s) {
  int length = 0;
  uint32_t min = 0;
  if (s[0] >= 0xC2 && s[0] <= 0xDF) length = 2, min = 0x80;
  else if (s[0] >= 0xE0 && s[0] <= 0xEF) length = 3, min = 0x800;
  else if (s[0] >= 0xF0 && s[0] <= 0xF4) length = 4, min = 0x10000;
  else return 0;
  uint32_t code = s[0] & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;  // also stops at the NUL
    code = (code << 6) | (s[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

void CommentToUtf8(const char* comment, char* out, int outSize) {
  int n = 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(comment);
  for (int i = 0; s[i] != 0 && i < COMMENT_SIZE; ) {
    if (s[i] < 0x80) {
      if (n + 1 >= outSize) break;
      out[n++] = static_cast<char>(s[i++]);
      continue;
    }
    const int length = Utf8SequenceLength(s + i);
    if (length > 0) {
      if (n + length >= outSize) break;
      for (int j = 0; j < length; ++j) out[n++] = static_cast<char>(s[i++]);
    } else {
      // Not UTF-8: the byte is a Latin-1 character, two bytes in UTF-8.
      if (n + 2 >= outSize) break;
      out[n++] = static_cast<char>(0xC0 | (s[i] >> 6));
      out[n++] = static_cast<char>(0x80 | (s[i] & 0x3F));
      ++i;
    }
  }
  if (outSize > 0) out[n < outSize ? n : outSize - 1] = '\0';
}

void PrepareThumbnailContext(NcPathContext& ctx, ThumbnailCanvas& canvas, int size) {
  ctx = NcPathContext{};
  // At 255 pixels: a 251 x 251 path area inside margins of 2.
  const int32_t margin = (2 * size + THUMBNAIL_SIZE / 2) / THUMBNAIL_SIZE;
  ctx.marginX = ctx.marginY = margin;
  ctx.canvasWidth = ctx.canvasHeight = size - 2 * margin;
  // Drilling points are 1 mm in radius (1/25.4 unit in inch programs) at
  // every size, so a picture of any size frames the program alike.
  ctx.markerUnits = 1;
  ctx.lineRed = 0, ctx.lineGreen = 0, ctx.lineBlue = 255;
  ctx.markerRed = 48, ctx.markerGreen = 74, ctx.markerBlue = 128;
  ctx.graphics = &canvas;
  ctx.gdiPenSelected = false;
}

void DrawThumbnailOverlays(ThumbnailCanvas& canvas, const ThumbnailOptions& options,
                           const NcPathContext& ctx) {
  const Layout at{static_cast<double>(options.size) / THUMBNAIL_SIZE};
  DrawOverlaysInFrame(canvas, options, ctx, {at(THUMBNAIL_SIZE), at.k, 0.0});
}

void DrawOverlaysInFrame(ThumbnailCanvas& canvas, const ThumbnailOptions& options,
                         const NcPathContext& ctx, const OverlayFrame& frame) {
  const Layout at{frame.scale};
  const auto low = [&](double at255) { return at(at255) + frame.shiftDown; };
  canvas.BeginOverlays(at(10));
  canvas.DrawText(0, 0, THUMBNAIL_VERSION_TEXT, options.textColour);

  if (options.showAxis) {
    // A turning program is drawn with Z across and X upwards.
    const bool turning = ctx.plane == 2;
    canvas.DrawText(at(4), low(213), turning ? "X" : "Y", COLOUR_DARK_RED);
    canvas.DrawText(at(42), low(237), turning ? "Z" : "X", COLOUR_GREEN);
    canvas.DrawPenLine(at(4), low(251), at(85), low(251), at(1), COLOUR_GREEN);
    canvas.DrawPenLine(at(4), low(251), at(4), low(170), at(1), COLOUR_DARK_RED);
  }
  if (options.showType) {
    if (ctx.isTnc == 1) {
      canvas.DrawText(at(50), 0, "T N C", COLOUR_GREEN);
    } else {
      canvas.DrawText(at(50), 0, "I S O", COLOUR_DARK_RED);
    }
  }
  if (options.showComment) {
    for (int i = 0; i < ctx.commentCount && i < MAX_COMMENTS; ++i) {
      char text[2 * (COMMENT_SIZE - 1) + 1];
      CommentToUtf8(ctx.comments[i], text, sizeof text);
      // Each comment on a light band; later bands cover the foot of the line above.
      canvas.FillRect(0, at(15 + 12 * i), frame.width, at(13), options.bandColour);
      canvas.DrawText(at(5), at(12 + 12 * i), text, options.textColour);
    }
  }
}

void ComposeThumbnail(ByteSource& source, ThumbnailCanvas& canvas,
                      const ThumbnailOptions& options, NcPathContext& ctx) {
  PrepareThumbnailContext(ctx, canvas, options.size);
  DrawToolpath(ctx, source);  // the path first, with the canvas's defaults
  DrawThumbnailOverlays(canvas, options, ctx);
}
