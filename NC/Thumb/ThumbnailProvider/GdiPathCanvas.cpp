#include "GdiPathCanvas.h"

GdiPathCanvas::GdiPathCanvas(HDC dc) : dc_(dc) {
  pen_ = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  if (pen_ == nullptr) return;  // the lines then use the pen the caller left selected
  oldPen_ = SelectObject(dc_, pen_);
  if (oldPen_ == nullptr || oldPen_ == HGDI_ERROR) {
    DeleteObject(pen_);
    pen_ = nullptr;
    oldPen_ = nullptr;
  }
}

void GdiPathCanvas::DrawHeldPoints() {
  if (heldCount_ == 0) return;
  PolylineTo(dc_, held_, static_cast<DWORD>(heldCount_));
  heldCount_ = 0;
}

void GdiPathCanvas::CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                   uint8_t /*red*/, uint8_t /*green*/, uint8_t /*blue*/) {
  if (!inRun_ || runEnd_.x != x1 || runEnd_.y != y1) {
    // A new run starts where this line starts.
    DrawHeldPoints();
    MoveToEx(dc_, x1, y1, nullptr);
    inRun_ = true;
  }
  if (heldCount_ == kHeldPoints) DrawHeldPoints();  // the run goes on from its last point
  held_[heldCount_++] = POINT{x2, y2};
  runEnd_ = POINT{x2, y2};
}

void GdiPathCanvas::EndRun() {
  DrawHeldPoints();
  inRun_ = false;
  if (pen_ == nullptr) return;
  SelectObject(dc_, oldPen_);
  DeleteObject(pen_);
  pen_ = nullptr;
  oldPen_ = nullptr;
}
