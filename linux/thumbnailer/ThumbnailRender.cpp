#include "ThumbnailRender.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "CairoThumbnailCanvas.h"
#include "CallListCanvas.h"
#include "StdioFileSource.h"
#include "PngFile.h"

namespace {

// Composes the thumbnail on `canvas`, listing the path's calls in
// `callsPath` when one is given.
bool Compose(ByteSource& source, CairoThumbnailCanvas& canvas, const ThumbnailOptions& options,
             ThumbnailRun& run, const std::string& callsPath, std::string& error) {
  if (callsPath.empty()) {
    ComposeThumbnail(source, canvas, options, run.ctx);
    return true;
  }
  std::FILE* list = std::fopen(callsPath.c_str(), "w");
  if (list == nullptr) {
    error = "cannot write " + callsPath + ": " + std::strerror(errno);
    return false;
  }
  CallListCanvas listing(canvas, list);
  ComposeThumbnail(source, listing, options, run.ctx);
  const bool written = !std::ferror(list);
  if (std::fclose(list) != 0 || !written) {
    error = "cannot write " + callsPath + ": " + std::strerror(errno);
    std::remove(callsPath.c_str());
    return false;
  }
  return true;
}

}  // namespace

RenderResult RenderThumbnail(FileSource& source, const std::string& name,
                             const ThumbnailOptions& options, ThumbnailRun& run,
                             CairoSurface& picture, std::string& error,
                             const std::string& callsPath) {
  picture.reset();
  ProgramHead head;
  if (!ReadProgramHead(source, head) || source.Failed()) {
    error = "cannot read " + name + ": " +
            (source.Failed() ? source.FailureReason() : std::string("cannot seek"));
    return RenderResult::Failed;
  }
  if (head.binary) {
    error = name + " is not an NC program: it holds binary data";
    return RenderResult::NotAProgram;
  }

  CairoThumbnailCanvas canvas(options.size);
  if (!Compose(source, canvas, options, run, callsPath, error)) return RenderResult::Failed;
  // The call list belongs to a finished picture: any later failure or
  // refusal removes it.
  struct ListKeeper {
    const std::string& path;
    bool keep = false;
    ~ListKeeper() {
      if (!keep && !path.empty()) std::remove(path.c_str());
    }
  } list{callsPath};
  run.lines = canvas.LineCalls();
  run.markers = canvas.CircleCalls();
  if (source.Failed()) {
    error = "cannot read " + name + ": " + source.FailureReason();
    return RenderResult::Failed;
  }
  if (run.lines == 0 && run.markers == 0) {
    error = name + " is not an NC program: it has no path to draw";
    return RenderResult::NotAProgram;
  }

  CairoSurface flat = canvas.FlattenOnWhite();
  const cairo_status_t status = canvas.Status();
  if (status != CAIRO_STATUS_SUCCESS || flat == nullptr) {
    error = std::string("cannot draw the thumbnail: ") +
            cairo_status_to_string(status != CAIRO_STATUS_SUCCESS ? status
                                                                  : CAIRO_STATUS_NO_MEMORY);
    return RenderResult::Failed;
  }
  picture = std::move(flat);
  list.keep = true;
  return RenderResult::Written;
}

RenderResult RenderThumbnailFile(const std::string& inputPath, const std::string& outputPath,
                                 const ThumbnailOptions& options, ThumbnailRun& run,
                                 std::string& error, const std::string& callsPath) {
  StdioFileSource source;
  std::string reason;
  if (!source.Open(inputPath.c_str(), reason)) {
    error = "cannot read " + inputPath + ": " + reason;
    return RenderResult::Failed;
  }
  CairoSurface picture;
  const RenderResult result =
      RenderThumbnail(source, inputPath, options, run, picture, error, callsPath);
  if (result != RenderResult::Written) return result;
  if (!WritePngFile(picture.get(), outputPath, error)) {
    // No picture, so no call list either.
    if (!callsPath.empty()) std::remove(callsPath.c_str());
    return RenderResult::Failed;
  }
  return RenderResult::Written;
}

namespace {

void AppendNumber(std::string& json, const char* name, double value) {
  char text[64];
  if (std::isfinite(value)) {
    std::snprintf(text, sizeof text, "\"%s\":%.17g", name, value);
  } else {
    std::snprintf(text, sizeof text, "\"%s\":null", name);
  }
  json += text;
}

void AppendInteger(std::string& json, const char* name, long long value) {
  char text[64];
  std::snprintf(text, sizeof text, "\"%s\":%lld", name, value);
  json += text;
}

// A JSON string of UTF-8 text: quotes, backslashes and control characters
// escaped, everything else as it is.
void AppendString(std::string& json, const char* utf8) {
  json += '"';
  for (const char* p = utf8; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte == '"' || byte == '\\') {
      json += '\\';
      json += *p;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      json += escape;
    } else {
      json += *p;
    }
  }
  json += '"';
}

}  // namespace

std::string TraceJson(const ThumbnailRun& run) {
  const NcPathContext& ctx = run.ctx;
  std::string json = "{";
  AppendInteger(json, "plane", ctx.plane);
  json += ',';
  AppendInteger(json, "isTnc", ctx.isTnc);
  json += ',';
  AppendInteger(json, "commentCount", ctx.commentCount);
  json += ",\"comments\":[";
  for (int i = 0; i < ctx.commentCount && i < MAX_COMMENTS; ++i) {
    char text[2 * (COMMENT_SIZE - 1) + 1];
    CommentToUtf8(ctx.comments[i], text, sizeof text);
    if (i > 0) json += ',';
    AppendString(json, text);
  }
  json += "],";
  const struct {
    const char* name;
    double value;
  } numbers[] = {{"minX", ctx.minX},       {"maxX", ctx.maxX},     {"minY", ctx.minY},
                 {"maxY", ctx.maxY},       {"scale", ctx.scale},   {"offsetX", ctx.offsetX},
                 {"offsetY", ctx.offsetY}};
  for (const auto& number : numbers) {
    AppendNumber(json, number.name, number.value);
    json += ',';
  }
  AppendInteger(json, "lines", static_cast<long long>(run.lines));
  json += ',';
  AppendInteger(json, "markers", static_cast<long long>(run.markers));
  json += '}';
  return json;
}
