#pragma once
// The runs both fuzz targets make: the interpreter alone on two canvases at
// once (the thumbnail's and the export's lines-only one), and the whole
// thumbnail composition.
#include "FuzzChecks.h"

struct PathRun {
  RecordingCanvas graphics;  // lines and markers
  RecordingCanvas gdi;       // lines only, as the export draws
  NcPathContext ctx{};
};

inline void RunPath(ByteSource& source, PathRun& run) {
  run.ctx = NcPathContext{};
  run.ctx.graphics = &run.graphics;
  run.ctx.gdi = &run.gdi;
  run.ctx.gdiPenSelected = true;
  run.ctx.markerUnits = 1;  // the thumbnail's markers, 1 mm in every unit
  DrawToolpath(run.ctx, source);
}

inline void CheckPathRun(const PathRun& run) {
  CheckResults(run.ctx);
  CheckCalls(run.graphics.calls, false);
  CheckCalls(run.gdi.calls, true);
  // Both canvases see the same lines in the same order.
  std::vector<CanvasCall> lines;
  for (const CanvasCall& call : run.graphics.calls) {
    if (call.kind != CanvasCall::Circle) lines.push_back(call);
  }
  FUZZ_CHECK(SameCalls(lines, run.gdi.calls));
}

struct ComposeRun {
  RecordingThumbnailCanvas canvas;
  NcPathContext ctx{};
};

inline void RunCompose(ByteSource& source, const ThumbnailOptions& options, ComposeRun& run) {
  ComposeThumbnail(source, run.canvas, options, run.ctx);
  CheckResults(run.ctx);
  CheckOverlays(run.canvas, run.ctx, options);
}

// Overlay switches and a picture size from a few input bits, so that every
// overlay and odd sizes (16 to 1024 pixels) are composed as well.
inline ThumbnailOptions OptionsFrom(uint32_t bits) {
  ThumbnailOptions options;
  options.showAxis = (bits & 1) != 0;
  options.showComment = (bits & 2) != 0;
  options.showType = (bits & 4) != 0;
  options.size = (bits & 8) != 0 ? THUMBNAIL_SIZE : 16 + static_cast<int>((bits >> 4) % 1009);
  return options;
}
