#pragma once
// The export's path canvas: lines with a one-pixel blue GDI pen on the
// caller's device context. GDI draws no markers.
#include <windows.h>

#include "PathCanvas.h"

class GdiPathCanvas final : public PathCanvas {
 public:
  // Creates the pen and selects it into `dc`, remembering the pen it replaces.
  explicit GdiPathCanvas(HDC dc);
  // Draws what is still held and restores the caller's pen if EndRun has
  // not yet done so.
  ~GdiPathCanvas() override { EndRun(); }
  GdiPathCanvas(const GdiPathCanvas&) = delete;
  GdiPathCanvas& operator=(const GdiPathCanvas&) = delete;

  // Whatever colour is asked for, the selected pen draws: one pen per run.
  // A line that starts where the one before ended joins that one's run;
  // each run is drawn with one PolylineTo, which GDI defines as LineTo to
  // each of its points in turn: the same pixels for far fewer calls.
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red,
                      uint8_t green, uint8_t blue) override;
  void CanvasFillCircle(int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t) override {}
  // Draws the last run, then selects the caller's pen back and deletes ours.
  void EndRun() override;

 private:
  // Draws the points held so far; the current position is then the last one.
  void DrawHeldPoints();

  static constexpr int kHeldPoints = 512;

  HDC dc_;
  HPEN pen_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
  POINT held_[kHeldPoints] = {};
  int heldCount_ = 0;
  bool inRun_ = false;  // the run's end (the last point asked for) is in runEnd_
  POINT runEnd_ = {};
};
