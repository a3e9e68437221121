#pragma once
// The pane's picture, drawn into a DIB section of the pane's size: the
// background painted, the program composed with the thumbnail's GDI+
// canvas (the path through the shared pixel writer, straight into the DIB's
// bits), or the message when there is no toolpath to show.
#include <windows.h>
#include <objidl.h>

#include "DibSection.h"
#include "PreviewComposition.h"

// Colours of the pane: opaque 0xFFRRGGBB.
struct PreviewColours {
  uint32_t background = 0xFFFFFFFF;
  uint32_t text = 0xFF000000;
  uint32_t band = 0xFFF0F0F0;  // behind the comments
};

// Draws the picture of the program in `stream` (read from its start) into
// `bitmap`, which has the pane's size. S_OK, or the stream's failure when
// reading it failed (the message is shown then), or the failure of GDI+.
HRESULT RenderPreview(IStream* stream, const ThumbnailOptions& overlays,
                      const PreviewColours& colours, DibSection& bitmap);
