#pragma once
// Records the composition's calls in order, for tests.
#include <string>
#include <vector>

#include "RecordingCanvas.h"
#include "ThumbnailCanvas.h"

struct OverlayCall {
  enum Kind { Begin, Text, Rect, PenLine } kind;
  double x1, y1, x2, y2;  // text: x1 y1; rect: x y width height; pen line: ends
  double width;           // pen width, or the em size for Begin
  uint32_t argb;
  std::string text;
};

class RecordingThumbnailCanvas : public ThumbnailCanvas {
 public:
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t r, uint8_t g,
                      uint8_t b) override {
    path.CanvasDrawLine(x1, y1, x2, y2, r, g, b);
  }
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t r, uint8_t g,
                        uint8_t b) override {
    path.CanvasFillCircle(left, top, radius, r, g, b);
  }
  void EndRun() override { path.EndRun(); }
  void BeginOverlays(double emSize) override {
    overlays.push_back({OverlayCall::Begin, 0, 0, 0, 0, emSize, 0, {}});
  }
  void DrawText(double x, double y, const char* utf8, uint32_t argb) override {
    overlays.push_back({OverlayCall::Text, x, y, 0, 0, 0, argb, utf8});
  }
  void FillRect(double x, double y, double width, double height, uint32_t argb) override {
    overlays.push_back({OverlayCall::Rect, x, y, width, height, 0, argb, {}});
  }
  void DrawPenLine(double x1, double y1, double x2, double y2, double width,
                   uint32_t argb) override {
    overlays.push_back({OverlayCall::PenLine, x1, y1, x2, y2, width, argb, {}});
  }

  RecordingCanvas path;
  std::vector<OverlayCall> overlays;
};
