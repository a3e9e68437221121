#pragma once
// Passes every call on to another canvas and writes the path's calls to a
// file, one a line, in order: "L x1 y1 x2 y2" for a line, "C left top
// radius" for a filled circle. The list shows whether a change leaves the
// picture alone without comparing pixels.
#include <cinttypes>
#include <cstdio>

#include "ThumbnailCanvas.h"

class CallListCanvas final : public ThumbnailCanvas {
 public:
  CallListCanvas(ThumbnailCanvas& inner, std::FILE* list) : inner_(inner), list_(list) {}

  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red, uint8_t green,
                      uint8_t blue) override {
    std::fprintf(list_, "L %" PRId32 " %" PRId32 " %" PRId32 " %" PRId32 "\n", x1, y1, x2, y2);
    inner_.CanvasDrawLine(x1, y1, x2, y2, red, green, blue);
  }
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t red, uint8_t green,
                        uint8_t blue) override {
    std::fprintf(list_, "C %" PRId32 " %" PRId32 " %" PRId32 "\n", left, top, radius);
    inner_.CanvasFillCircle(left, top, radius, red, green, blue);
  }
  void EndRun() override { inner_.EndRun(); }
  void BeginOverlays(double emSize) override { inner_.BeginOverlays(emSize); }
  void DrawText(double x, double y, const char* utf8, uint32_t argb) override {
    inner_.DrawText(x, y, utf8, argb);
  }
  void FillRect(double x, double y, double width, double height, uint32_t argb) override {
    inner_.FillRect(x, y, width, height, argb);
  }
  void DrawPenLine(double x1, double y1, double x2, double y2, double width,
                   uint32_t argb) override {
    inner_.DrawPenLine(x1, y1, x2, y2, width, argb);
  }

 private:
  ThumbnailCanvas& inner_;
  std::FILE* list_;
};
