#pragma once
// A canvas that records every call, for tests and for the command line's
// trace. Recording allocates; the interpreter itself never does.
#include <cstdint>
#include <vector>

#include "PathCanvas.h"

struct CanvasCall {
  enum Kind { Line, Circle, End } kind;
  int32_t a, b, c, d;  // x1 y1 x2 y2 for a line; left top radius for a circle
  uint8_t red, green, blue;
};

class RecordingCanvas : public PathCanvas {
 public:
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red, uint8_t green,
                      uint8_t blue) override {
    calls.push_back({CanvasCall::Line, x1, y1, x2, y2, red, green, blue});
  }
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t red, uint8_t green,
                        uint8_t blue) override {
    calls.push_back({CanvasCall::Circle, left, top, radius, 0, red, green, blue});
  }
  void EndRun() override { calls.push_back({CanvasCall::End, 0, 0, 0, 0, 0, 0, 0}); }

  size_t Count(CanvasCall::Kind kind) const {
    size_t n = 0;
    for (const CanvasCall& call : calls) n += call.kind == kind;
    return n;
  }

  std::vector<CanvasCall> calls;
};

// Counts calls without keeping them: for the benchmark and the trace.
class CountingCanvas : public PathCanvas {
 public:
  void CanvasDrawLine(int32_t, int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t) override {
    ++lines;
  }
  void CanvasDrawLines(const Pixel*, int count, uint8_t, uint8_t, uint8_t) override {
    if (count > 1) lines += static_cast<uint64_t>(count - 1);
  }
  void CanvasFillCircle(int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t) override {
    ++markers;
  }
  uint64_t lines = 0;
  uint64_t markers = 0;
};
