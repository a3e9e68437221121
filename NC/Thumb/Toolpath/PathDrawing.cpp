// Drawing operations (program units to pixels, lines, 1-degree arc chords,
// drilling markers) and the extent operations of the first pass.
#include <cmath>
#include <cstdint>

#include "NcPathContext.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kMaxChords = 363;  // a sweep never needs more than 360

// Rounds half away from zero, clamped into the 32-bit range; NaN gives 0.
int64_t RoundToPixel(double value) {
  if (!(value == value)) return 0;
  const double r = value < 0 ? value - 0.5 : value + 0.5;
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int64_t>(r);  // truncates toward zero
}

int32_t ClampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Pixel column of a horizontal value and row of a vertical one. Rows count
// down from the top, so the fitted area (0 to canvasHeight) lies between
// the margins just as its columns do: rows marginY to canvasHeight + marginY.
int32_t Column(const NcPathContext& ctx, double scaled) {
  return ClampToInt32(RoundToPixel(scaled) + ctx.marginX);
}
int32_t Row(const NcPathContext& ctx, double scaled) {
  return ClampToInt32(static_cast<int64_t>(ctx.canvasHeight) + ctx.marginY - RoundToPixel(scaled));
}

// Marker radius in program units: 1 for the thumbnail's drawing area.
int32_t MarkerUnits(const NcPathContext& ctx) {
  if (ctx.markerUnits >= 0) return ctx.markerUnits;
  return ctx.canvasWidth > 0 ? ctx.canvasWidth / 150 : 1;
}

uint8_t Low8(int32_t component) { return static_cast<uint8_t>(component & 0xFF); }

// One segment between two pixels, on every active back-end.
void DrawPixelLine(NcPathContext& ctx, Pixel a, Pixel b) {
  // A line that starts and ends on one pixel leaves no mark on any back-end
  // (butt caps, GDI's LineTo omits its last pixel): skipping it saves most
  // of the work for dense programs.
  if (a.x == b.x && a.y == b.y) return;
  if (ctx.graphics != nullptr) {
    ctx.graphics->CanvasDrawLine(a.x, a.y, b.x, b.y, Low8(ctx.lineRed), Low8(ctx.lineGreen),
                                 Low8(ctx.lineBlue));
  }
  if (ctx.gdiPenSelected && ctx.gdi != nullptr) {
    ctx.gdi->CanvasDrawLine(a.x, a.y, b.x, b.y, Low8(ctx.lineRed), Low8(ctx.lineGreen),
                            Low8(ctx.lineBlue));
  }
}

// The sweep of an arc in degrees (phi = direction + 90), from start to end.
void DrawArc(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j,
             bool clockwise) {
  if (!ctx.fitValid) return;
  if (!IsGiven(h1) || !IsGiven(v1) || !IsGiven(h2) || !IsGiven(v2) || !IsGiven(i) || !IsGiven(j))
    return;
  const double ch = h1 + i;
  const double cv = v1 + j;
  const double r = PointDistance(ch, cv, h2, v2);  // the end point sets the radius
  double phi = DirectionDegrees(ch, cv, h1, v1) + 90.0;
  double phiEnd = DirectionDegrees(ch, cv, h2, v2) + 90.0;
  if (clockwise) {
    if (phiEnd > phi) phiEnd -= 360.0;
    if (phiEnd == phi) phiEnd -= 360.0;  // same direction: a full circle
  } else {
    if (phi > phiEnd) phiEnd += 360.0;
    if (phiEnd == phi) phiEnd += 360.0;
  }
  const double step = clockwise ? -1.0 : 1.0;
  // Each chord starts at the pixel where the one before ended.
  double ph = h1, pv = v1;
  Pixel from = ToPixel(ctx, h1, v1);
  for (int chord = 0; chord < kMaxChords && (clockwise ? phi > phiEnd : phi < phiEnd); ++chord) {
    phi += step;
    const double angle = phi * kPi / 180.0;
    ph = ch + r * std::sin(angle);
    pv = cv - r * std::cos(angle);
    const Pixel to = ToPixel(ctx, ph, pv);
    DrawPixelLine(ctx, from, to);
    from = to;
  }
  // The last chord may stop short of the end by less than a degree.
  if (ph != h2 || pv != v2) DrawPixelLine(ctx, from, ToPixel(ctx, h2, v2));
}

}  // namespace

Pixel ToPixel(const NcPathContext& ctx, double h, double v) {
  return {Column(ctx, (h + ctx.offsetX) * ctx.scale), Row(ctx, (v + ctx.offsetY) * ctx.scale)};
}

void DrawLine(NcPathContext& ctx, double h1, double v1, double h2, double v2) {
  if (!ctx.fitValid) return;  // nothing was framed, or every framed point coincides
  if (!IsGiven(h1) || !IsGiven(v1)) h1 = v1 = 0.0;  // from the program origin
  DrawPixelLine(ctx, ToPixel(ctx, h1, v1), ToPixel(ctx, h2, v2));
}

void DrawArcCw(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j) {
  DrawArc(ctx, h1, v1, h2, v2, i, j, true);
}

void DrawArcCcw(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j) {
  DrawArc(ctx, h1, v1, h2, v2, i, j, false);
}

void DrawMarker(NcPathContext& ctx, double h, double v) {
  if (ctx.graphics == nullptr || !ctx.fitValid) return;  // the GDI back-end has no markers
  const double r = MarkerUnits(ctx) * ctx.scale;
  const int32_t left = Column(ctx, (h + ctx.offsetX) * ctx.scale - r);
  const int32_t top = Row(ctx, (v + ctx.offsetY) * ctx.scale + r);
  const int32_t radius = ClampToInt32(RoundToPixel(r));
  if (radius < 1) return;
  ctx.graphics->CanvasFillCircle(left, top, radius, Low8(ctx.markerRed), Low8(ctx.markerGreen),
                                 Low8(ctx.markerBlue));
}

void AddArcExtents(NcPathContext& ctx, double ch, double cv, double h1, double v1, double h2,
                   double v2, bool clockwise) {
  double fromDeg = DirectionDegrees(ch, cv, h1, v1);
  double toDeg = DirectionDegrees(ch, cv, h2, v2);
  const double r = PointDistance(ch, cv, h1, v1);
  // A clockwise arc covers what the counter-clockwise arc from its end covers.
  if (clockwise) {
    const double t = fromDeg;
    fromDeg = toDeg;
    toDeg = t;
  }
  if (fromDeg > toDeg) toDeg += 360.0;

  double lowH = std::fmin(h1, h2), highH = std::fmax(h1, h2);
  double lowV = std::fmin(v1, v2), highV = std::fmax(v1, v2);
  if (fromDeg == toDeg) {  // full circle
    lowH = ch - r;
    highH = ch + r;
    lowV = cv - r;
    highV = cv + r;
  }
  // Widen for each axis direction the sweep passes, in sweep order.
  if (toDeg > 90) {
    if (fromDeg < 90) highV = cv + r;
    if (toDeg > 180) {
      if (fromDeg < 180) lowH = ch - r;
      if (toDeg > 270) {
        if (fromDeg < 270) lowV = cv - r;
        if (toDeg > 360) {
          highH = ch + r;
          if (toDeg > 450) {
            highV = cv + r;
            if (toDeg > 540) {
              lowH = ch - r;
              if (toDeg > 630) lowV = cv - r;
            }
          }
        }
      }
    }
  }
  if (lowH < ctx.minX) ctx.minX = lowH;
  if (highH > ctx.maxX) ctx.maxX = highH;
  if (lowV < ctx.minY) ctx.minY = lowV;
  if (highV > ctx.maxY) ctx.maxY = highV;
}

void AddPointExtents(NcPathContext& ctx, double h, double v) {
  const double k = MarkerUnits(ctx);
  if (IsGiven(h)) {
    if (h > ctx.maxX) ctx.maxX = h + k;
    if (h < ctx.minX) ctx.minX = h - k;
  }
  if (IsGiven(v)) {
    if (v > ctx.maxY) ctx.maxY = v + k;
    if (v < ctx.minY) ctx.minY = v - k;
  }
}
