#pragma once
// One NC program file to one PNG thumbnail: the command line's whole job,
// kept in the library so that the benchmark measures the same road.
#include <cstdint>
#include <string>

#include "CairoHandles.h"
#include "FileSource.h"
#include "ProgramHead.h"
#include "ThumbnailComposition.h"

struct ThumbnailRun {
  NcPathContext ctx{};   // the interpreter's results: plane, dialect, comments, fit
  uint64_t lines = 0;    // CanvasDrawLine calls
  uint64_t markers = 0;  // CanvasFillCircle calls
};

// What became of one file.
enum class RenderResult {
  Written,      // the PNG is in place
  NotAProgram,  // binary data, or nothing to draw: no picture is written
  Failed,       // the input could not be read or the output not written
};

// Composes the thumbnail of the program `source` reads with `options`, over
// opaque white, into `picture` (an RGB24 image surface of options.size
// pixels a side): the picture of every Linux consumer, whether it is written
// as a PNG or handed over in memory. `name` names the file in `error`. With
// a `callsPath`, the path's canvas calls are listed there as well. Anything
// but Written comes with a one-line reason in `error` and leaves neither
// `picture` nor a call list; binary data is refused before the interpreter
// sees a byte.
RenderResult RenderThumbnail(FileSource& source, const std::string& name,
                             const ThumbnailOptions& options, ThumbnailRun& run,
                             CairoSurface& picture, std::string& error,
                             const std::string& callsPath = std::string());

// Reads `inputPath`, composes its thumbnail with `options` and writes it as
// a PNG to `outputPath`, opaque on white. With a `callsPath`, also writes
// the path's canvas calls there (see CallListCanvas.h). Anything but Written
// comes with a one-line reason in `error` and leaves no picture (and no call
// list) behind. A file manager caches whatever a thumbnailer hands back, so
// a blank picture of a file that is no program would stand for it until the
// file changes: such files get none. Binary files are not interpreted at all
// (`run` stays empty).
RenderResult RenderThumbnailFile(const std::string& inputPath, const std::string& outputPath,
                                 const ThumbnailOptions& options, ThumbnailRun& run,
                                 std::string& error, const std::string& callsPath = std::string());

// The run as one JSON object: plane, isTnc, commentCount, comments, minX,
// maxX, minY, maxY, scale, offsetX, offsetY, lines, markers. Numbers that
// are not finite are written as null.
std::string TraceJson(const ThumbnailRun& run);
