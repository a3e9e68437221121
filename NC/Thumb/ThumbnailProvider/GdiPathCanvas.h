#pragma once
// The export's path canvas: lines with a one-pixel blue GDI pen on the
// caller's device context. GDI draws no markers.
#include <windows.h>

#include "PathCanvas.h"

class GdiPathCanvas final : public PathCanvas {
 public:
  // Creates the pen and selects it into `dc`, remembering the pen it replaces.
  explicit GdiPathCanvas(HDC dc);
  // Restores the caller's pen if EndRun has not yet done so.
  ~GdiPathCanvas() override { EndRun(); }
  GdiPathCanvas(const GdiPathCanvas&) = delete;
  GdiPathCanvas& operator=(const GdiPathCanvas&) = delete;

  // Whatever colour is asked for, the selected pen draws: one pen per run.
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red,
                      uint8_t green, uint8_t blue) override;
  void CanvasFillCircle(int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t) override {}
  // Selects the caller's pen back and deletes ours.
  void EndRun() override;

 private:
  HDC dc_;
  HPEN pen_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
};
