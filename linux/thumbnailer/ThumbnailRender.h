#pragma once
// One NC program file to one PNG thumbnail: the command line's whole job,
// kept in the library so that the benchmark measures the same road.
#include <cstdint>
#include <string>

#include "ThumbnailComposition.h"

struct ThumbnailRun {
  NcPathContext ctx{};   // the interpreter's results: plane, dialect, comments, fit
  uint64_t lines = 0;    // CanvasDrawLine calls
  uint64_t markers = 0;  // CanvasFillCircle calls
};

// Reads `inputPath`, composes its thumbnail with `options` and writes it as
// a PNG to `outputPath`, opaque on white. With a `callsPath`, also writes
// the path's canvas calls there (see CallListCanvas.h). False on failure,
// with a one-line reason in `error`; no output file is left behind then.
bool RenderThumbnailFile(const std::string& inputPath, const std::string& outputPath,
                         const ThumbnailOptions& options, ThumbnailRun& run, std::string& error,
                         const std::string& callsPath = std::string());

// The run as one JSON object: plane, isTnc, commentCount, comments, minX,
// maxX, minY, maxY, scale, offsetX, offsetY, lines, markers. Numbers that
// are not finite are written as null.
std::string TraceJson(const ThumbnailRun& run);
