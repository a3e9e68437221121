#pragma once
// What the preview pane shows: the program's path fitted into the pane with
// its aspect kept, the overlays of the thumbnail laid out for the pane's
// size, and one line of facts below the picture (dialect, plane, the path's
// size, number of blocks). A file with nothing to draw gets a short message
// instead. Written once for every back-end, like the thumbnail.
#include <string>

#include "ProgramHead.h"
#include "ThumbnailComposition.h"

constexpr const char* PREVIEW_NO_TOOLPATH_TEXT = "No toolpath to show";
// The largest pane side drawn; a larger pane shows the picture at its top left.
constexpr int PREVIEW_MAX_SIZE = 4096;

struct PreviewOptions {
  int width = 0;               // the pane in pixels, each 1 to PREVIEW_MAX_SIZE
  int height = 0;
  ThumbnailOptions overlays;   // which overlays, and the text and band colours
};

// Where things stand in a pane of one size.
struct PreviewLayout {
  double scale = 1;        // texts and symbols against the 255-pixel thumbnail
  int pictureHeight = 0;   // the path and the overlays above, the facts below
  int margin = 0;          // around the path
  double factsY = 0;       // top of the facts line
};
PreviewLayout LayOutPreview(const PreviewOptions& options);

// Draws the pane's picture of the program in `source` on `canvas`, whose
// background is painted already. `unit` is the unit the program's head
// declares. True when a path was drawn; otherwise only the path's (empty)
// run reached the canvas and the caller shows the message instead.
bool ComposePreview(ByteSource& source, ThumbnailCanvas& canvas, const PreviewOptions& options,
                    ProgramUnit unit, NcPathContext& ctx);

// The message for a file with no toolpath to show, on a painted background.
void ComposePreviewMessage(ThumbnailCanvas& canvas, const PreviewOptions& options);

// The facts line of a run, for example "ISO · XY (milling) · 120 × 80 mm ·
// 1,234 blocks" (UTF-8). The size is the path's extent in program units,
// with the unit when the program declares one.
std::string PreviewFacts(const NcPathContext& ctx, ProgramUnit unit);
