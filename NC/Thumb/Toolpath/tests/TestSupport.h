#pragma once
// Runs NC text through the interpreter, for the tests.
#include <string>

#include "NcPathContext.h"
#include "RecordingCanvas.h"

// A context with the thumbnail's drawing area and a recording canvas.
inline NcPathContext ThumbnailContext(RecordingCanvas& canvas) {
  NcPathContext ctx{};
  ctx.graphics = &canvas;
  return ctx;
}

inline NcPathContext RunProgram(const std::string& program, RecordingCanvas& canvas) {
  NcPathContext ctx = ThumbnailContext(canvas);
  MemorySource source(program.data(), program.size());
  DrawToolpath(ctx, source);
  return ctx;
}

// A reader over a string with its own buffer.
struct TextReader {
  explicit TextReader(std::string text) : bytes(std::move(text)), source(bytes.data(), bytes.size()), reader(source, buffer, sizeof buffer) {
    reader.Rewind();
  }
  std::string bytes;
  MemorySource source;
  uint8_t buffer[4096];
  StreamReader reader;
};
