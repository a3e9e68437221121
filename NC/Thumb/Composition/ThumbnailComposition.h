#pragma once
// What the thumbnail shows, where, in which order and colour: written once
// for every back-end. The path comes first, then the version text, the axis
// symbol, the dialect name and the comment bands, each overlay as its option
// says. At size 255 the layout is the classic one pixel for pixel; other
// sizes scale the whole layout.
#include <cstdint>

#include "NcPathContext.h"
#include "ThumbnailCanvas.h"

constexpr int THUMBNAIL_SIZE = 255;
constexpr const char* THUMBNAIL_VERSION_TEXT = "v2.01";

constexpr uint32_t COLOUR_PATH = 0xFF0000FF;
constexpr uint32_t COLOUR_MARKER = 0xFF304A80;
constexpr uint32_t COLOUR_TEXT = 0xFF000000;
constexpr uint32_t COLOUR_COMMENT_BAND = 0xFFF0F0F0;
constexpr uint32_t COLOUR_DARK_RED = 0xFFA31515;
constexpr uint32_t COLOUR_GREEN = 0xFF008000;
constexpr uint32_t COLOUR_BACKGROUND = 0xFFFFFFFF;

struct ThumbnailOptions {
  bool showAxis = false;     // axis symbol with its letters
  bool showComment = false;  // the program's first three comments
  bool showType = false;     // "I S O" or "T N C"
  int size = THUMBNAIL_SIZE; // picture side in pixels
  // Texts, and the bands behind the comments: a host with a dark theme
  // (the preview pane) gives its own.
  uint32_t textColour = COLOUR_TEXT;
  uint32_t bandColour = COLOUR_COMMENT_BAND;
};

// Fills `ctx` for a thumbnail of `size` pixels drawing on `canvas`.
void PrepareThumbnailContext(NcPathContext& ctx, ThumbnailCanvas& canvas, int size);

// Draws the whole thumbnail of the program in `source` on `canvas`. `ctx`
// receives the run's results (plane, dialect, comments, fit) for the caller.
void ComposeThumbnail(ByteSource& source, ThumbnailCanvas& canvas,
                      const ThumbnailOptions& options, NcPathContext& ctx);

// The overlays alone, over a path already drawn with `ctx`.
void DrawThumbnailOverlays(ThumbnailCanvas& canvas, const ThumbnailOptions& options,
                           const NcPathContext& ctx);

// Where the overlays stand in a picture of any shape: texts and symbols
// `scale` times their size in the 255-pixel thumbnail, the comment bands
// `width` pixels wide, and the axis symbol `shiftDown` pixels lower than in
// the thumbnail's layout at that scale, so that it keeps to the picture's
// bottom-left corner.
struct OverlayFrame {
  double width;
  double scale;
  double shiftDown;
};
void DrawOverlaysInFrame(ThumbnailCanvas& canvas, const ThumbnailOptions& options,
                         const NcPathContext& ctx, const OverlayFrame& frame);

// A comment's bytes as UTF-8: valid UTF-8 stays, any other byte is taken as
// Latin-1. `out` must hold 2 * 199 + 1 bytes.
void CommentToUtf8(const char* comment, char* out, int outSize);
