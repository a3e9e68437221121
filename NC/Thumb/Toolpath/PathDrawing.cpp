// Drawing operations (program units to pixels, lines, 1-degree arc chords,
// drilling markers) and the extent operations of the first pass.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

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

// The pixel of a scaled point, (h + offsetX) * scale and (v + offsetY) * scale.
Pixel PixelOfScaled(const NcPathContext& ctx, double x, double y) {
  return {Column(ctx, x), Row(ctx, y)};
}

// Marker radius in program units. A radius the caller set is in
// millimetres, so a drilling point is as large in an inch program as in a
// millimetre one; the default follows the drawing area's width.
double MarkerUnits(const NcPathContext& ctx) {
  if (ctx.markerUnits >= 0) return ctx.inchProgram ? ctx.markerUnits / 25.4 : ctx.markerUnits;
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

// An arc's circle and its sweep in degrees (phi = direction + 90), from
// start to end.
struct ArcSweep {
  double ch, cv, r;    // centre and radius (the end point sets the radius)
  double phi, phiEnd;  // sweep variable and its end
  double step;         // +1 or -1 degree
  bool clockwise;
  bool Goes() const { return clockwise ? phi > phiEnd : phi < phiEnd; }
};

bool Drawable(const NcPathContext& ctx, double h1, double v1, double h2, double v2, double i,
              double j) {
  return ctx.fitValid && IsGiven(h1) && IsGiven(v1) && IsGiven(h2) && IsGiven(v2) && IsGiven(i) &&
         IsGiven(j);
}

ArcSweep Circle(double h1, double v1, double h2, double v2, double i, double j, bool clockwise) {
  ArcSweep a{};
  a.ch = h1 + i;
  a.cv = v1 + j;
  a.r = PointDistance(a.ch, a.cv, h2, v2);
  a.clockwise = clockwise;
  a.step = clockwise ? -1.0 : 1.0;
  return a;
}

void Sweep(ArcSweep& a, double h1, double v1, double h2, double v2) {
  a.phi = DirectionDegrees(a.ch, a.cv, h1, v1) + 90.0;
  a.phiEnd = DirectionDegrees(a.ch, a.cv, h2, v2) + 90.0;
  if (a.clockwise) {
    if (a.phiEnd > a.phi) a.phiEnd -= 360.0;
    if (a.phiEnd == a.phi) a.phiEnd -= 360.0;  // same direction: a full circle
  } else {
    if (a.phi > a.phiEnd) a.phiEnd += 360.0;
    if (a.phiEnd == a.phi) a.phiEnd += 360.0;
  }
}

double Radians(double phi) { return phi * kPi / 180.0; }

// The power of two just above |value|, for 1 <= |value| < 2^1000.
double PowerOfTwoAbove(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits & 0x7FF0000000000000u) + 0x0010000000000000u;  // exponent + 1, no fraction
  double power = 0;
  std::memcpy(&power, &bits, sizeof power);
  return power;
}

// The sweep value after `steps` steps of `step` (+1 or -1) from `phi`, as
// adding the step one at a time gives it, every rounding included, in a few
// operations. A value of 1 or more in magnitude and the steps are whole
// multiples of its last place, and so is every sum on the way: such a sum
// is exact while its magnitude stays below the power of two above the
// value's. Runs that stay below are taken at once; the step across the
// power (or near zero) is taken alone, as the one-at-a-time sum takes it.
double SweepAfter(double phi, int steps, double step) {
  while (steps > 0) {
    const double magnitude = std::fabs(phi);
    if (magnitude >= 1.0 && magnitude < 1e15) {
      // Sums phi + j step lie strictly inside (-limit, limit) for j < room.
      const double room = PowerOfTwoAbove(magnitude) - (step > 0 ? phi : -phi);
      const int run = room > steps + 1 ? steps : static_cast<int>(room) - 1;
      if (run > 0) {
        phi += run * step;
        steps -= run;
        if (steps == 0) break;
      }
    }
    phi += step;
    --steps;
  }
  return phi;
}

// How many chord points the sweep of `a` has: the steps DrawArcDirect takes,
// at most kMaxChords, each while the sweep value has not reached its end.
// The values run within 1e-10 of phi + k, so the count is nearly always
// the first guess; it is checked, and moved where the guess was off.
int ChordPoints(const ArcSweep& a) {
  const double span = (a.phiEnd - a.phi) * a.step;
  int points = !(span > 0) ? 0 : span < kMaxChords ? static_cast<int>(std::ceil(span)) : kMaxChords;
  auto goes = [&a](double phi) { return a.clockwise ? phi > a.phiEnd : phi < a.phiEnd; };
  while (points > 0 && !goes(SweepAfter(a.phi, points - 1, a.step))) --points;
  while (points < kMaxChords && goes(SweepAfter(a.phi, points, a.step))) ++points;
  return points;
}

// The chord point at the current sweep value, by direct evaluation.
void ChordPoint(const ArcSweep& a, double& ph, double& pv) {
  const double angle = Radians(a.phi);
  ph = a.ch + a.r * std::sin(angle);
  pv = a.cv - a.r * std::cos(angle);
}

// The arc by direct evaluation: a sine and a cosine for every chord point.
// What the fast path below must reproduce call for call.
void DrawArcDirect(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i,
                   double j, bool clockwise) {
  if (!Drawable(ctx, h1, v1, h2, v2, i, j)) return;
  ArcSweep a = Circle(h1, v1, h2, v2, i, j, clockwise);
  Sweep(a, h1, v1, h2, v2);
  // Each chord starts at the pixel where the one before ended.
  double ph = h1, pv = v1;
  Pixel from = ToPixel(ctx, h1, v1);
  for (int chord = 0; chord < kMaxChords && a.Goes(); ++chord) {
    a.phi += a.step;
    ChordPoint(a, ph, pv);
    const Pixel to = ToPixel(ctx, ph, pv);
    DrawPixelLine(ctx, from, to);
    from = to;
  }
  // The last chord may stop short of the end by less than a degree.
  if (ph != h2 || pv != v2) DrawPixelLine(ctx, from, ToPixel(ctx, h2, v2));
}

// The fast path draws the same calls as DrawArcDirect at a fraction of the
// cost. A pixel depends on a scaled value only through RoundToPixel, whose
// result changes only at the halves (k + 0.5, give or take a unit in the
// last place). A value computed another way, known to lie within some bound
// of the direct one, gives the same pixel whenever it lies farther than that
// bound from every half; otherwise the point is evaluated directly.
//
// Chord point k of the direct path lies at angle phi_k * pi / 180, phi_k
// being phi plus k one-degree steps added one by one. The fast path turns
// the start angle's sine and cosine by k degrees from a table. The table,
// the seed and the turn are each good to a few units in the last place and
// phi_k strays from phi + k by under 1e-12 radians in 363 steps, so the
// cheap sine and cosine are within kChordSinError of the library's, with a
// wide margin. Rounding in the scaled values adds kRoundingUlps units of
// 2^-53 of the largest magnitude met on the way (which also covers where
// exactly RoundToPixel turns near a half).
constexpr double kChordSinError = 1e-9;
constexpr double kRoundingUlps = 32.0 * 1.1102230246251565e-16;
// Scaled values the fast path handles: well inside RoundToPixel's clamp.
constexpr double kFastReach = 1073741824.0;  // 2^30
// A step shorter than this (in pixels) makes counting the steps a chord
// point surely stays on its pixel cheaper than computing them.
constexpr double kShortStep = 0.1;
// Added to a value below 2^51 in magnitude and taken away again, it
// rounds the value to the nearest whole number.
constexpr double kRoundingShift = 6755399441055744.0;  // 1.5 * 2^52

// The turns by whole degrees, each value twice: one load gives both lanes
// of a point (across and up) the same factor.
struct Turn {
  alignas(16) double cosine[2];
  double sine[2];
};
struct TurnTable {
  Turn turn[kMaxChords + 1];
};

const TurnTable& Turns() {
  static const TurnTable table = [] {
    TurnTable t{};
    for (int k = 0; k <= kMaxChords; ++k) {
      t.turn[k].cosine[0] = t.turn[k].cosine[1] = std::cos(Radians(k));
      t.turn[k].sine[0] = t.turn[k].sine[1] = std::sin(Radians(k));
    }
    return t;
  }();
  return table;
}

// One axis of the circle in scaled units, value = centre + radius * trig,
// and how far a computed value may lie from the direct one.
struct ScaledAxis {
  double centre, radius, bound;
  bool inReach;  // every value of the circle lies within kFastReach

  ScaledAxis(double programCentre, double offset, double r, double scale) {
    centre = (programCentre + offset) * scale;
    radius = r * scale;
    const double largest = (std::fabs(programCentre) + r + std::fabs(offset)) * scale;
    bound = radius * kChordSinError + kRoundingUlps * (largest + 1.0);
    inReach = largest < kFastReach;
  }
};

// The pixels of an arc's chords in order, without repeats: a chord from a
// pixel to itself draws nothing. Start, one per chord point and the end.
struct PixelChain {
  Pixel pixels[kMaxChords + 2];
  int count = 1;
  explicit PixelChain(Pixel start) { pixels[0] = start; }
  void Add(Pixel p) {
    const Pixel last = pixels[count - 1];
    if (p.x != last.x || p.y != last.y) pixels[count++] = p;
  }
};

// The chain's lines: what DrawPixelLine draws for each pair, handed over in
// one call where only the thumbnail's canvas draws.
void DrawPixelChain(NcPathContext& ctx, const PixelChain& chain) {
  PathCanvas* const canvas = ctx.graphics;
  if (canvas == nullptr || (ctx.gdiPenSelected && ctx.gdi != nullptr)) {
    for (int n = 1; n < chain.count; ++n) DrawPixelLine(ctx, chain.pixels[n - 1], chain.pixels[n]);
    return;
  }
  canvas->CanvasDrawLines(chain.pixels, chain.count, Low8(ctx.lineRed), Low8(ctx.lineGreen),
                          Low8(ctx.lineBlue));
}

void DrawArcFast(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i,
                 double j, bool clockwise) {
  if (!Drawable(ctx, h1, v1, h2, v2, i, j)) return;
  ArcSweep a = Circle(h1, v1, h2, v2, i, j, clockwise);
  const double scale = ctx.scale;
  if (!std::isfinite(a.ch) || !std::isfinite(a.cv) || !std::isfinite(a.r * scale) ||
      !std::isfinite((std::fabs(a.ch) + std::fabs(a.cv) + a.r + std::fabs(ctx.offsetX) +
                      std::fabs(ctx.offsetY)) * scale)) {
    DrawArcDirect(ctx, h1, v1, h2, v2, i, j, clockwise);
    return;
  }
  const Pixel start = ToPixel(ctx, h1, v1);

  // Every chord point lies in the circle's box, and rounding cannot carry a
  // computed point past the rounded box edges (sine and cosine stay within
  // [-1, 1], and each operation rounds monotonically). A box on one pixel
  // that also holds the end's pixel leaves one chord: start to that pixel.
  const double left = (a.ch - a.r + ctx.offsetX) * scale;
  const double right = (a.ch + a.r + ctx.offsetX) * scale;
  const double bottom = (a.cv - a.r + ctx.offsetY) * scale;
  const double top = (a.cv + a.r + ctx.offsetY) * scale;
  if (RoundToPixel(left) == RoundToPixel(right) && RoundToPixel(bottom) == RoundToPixel(top)) {
    const Pixel only = PixelOfScaled(ctx, left, bottom);
    const Pixel end = ToPixel(ctx, h2, v2);
    if (end.x == only.x && end.y == only.y) {
      DrawPixelLine(ctx, start, only);
      return;
    }
  }

  const ScaledAxis across(a.ch, ctx.offsetX, a.r, scale);
  const ScaledAxis up(a.cv, ctx.offsetY, a.r, scale);
  // Rounded values within 2^30 and margins within 2^30 make pixels that
  // need no clamping into 32 bits.
  const int64_t columnBase = ctx.marginX;
  const int64_t rowBase = static_cast<int64_t>(ctx.canvasHeight) + ctx.marginY;
  constexpr int64_t kMarginReach = int64_t{1} << 30;
  if (!across.inReach || !up.inReach || std::llabs(columnBase) > kMarginReach ||
      std::llabs(rowBase) > kMarginReach) {
    DrawArcDirect(ctx, h1, v1, h2, v2, i, j, clockwise);
    return;
  }
  Sweep(a, h1, v1, h2, v2);
  const double phi0 = a.phi;
  const int points = ChordPoints(a);
  const TurnTable& turns = Turns();
  const double angle0 = Radians(phi0);
  const double sin0 = std::sin(angle0), cos0 = std::cos(angle0);
  // Point k: x = centre + radius sin(phi0 + k), y = centre - radius cos(phi0
  // + k), the sum of angles taken apart into the table's cosine and sine.
  const double turn = clockwise ? -1.0 : 1.0;
  const double xCos = across.radius * sin0, xSin = turn * across.radius * cos0;
  const double yCos = -up.radius * cos0, ySin = turn * up.radius * sin0;
  // A chord point moves at most radius * 1 degree (in radians) a step: on a
  // small circle it stays on its pixel for as many steps as fit into its
  // distance from the pixel's edges, less the bounds of where it and the
  // later points lie. Worth the sums only where steps are short.
  const double stepLength = across.radius * (kPi / 180.0) * (1.0 + 1e-6);
  const double stepsPerUnit = 1.0 / stepLength;

  // The pixels the chords join, each differing from the one before: found
  // first, drawn after, so that the loop keeps its values in registers.
  PixelChain chain(start);
  // One loop for small circles, that skip points, and one for the rest;
  // the chain's count and last pixel stay in registers while it grows.
#if defined(__SSE2__) && defined(__x86_64__)
  // Both axes of a point at once, lane 0 across and lane 1 up: the same
  // operations in the same order as one axis at a time, so the same values.
  // The up lane is computed negated, which is exact (each operation rounds
  // symmetrically, and so does the rounding to a whole number below): then
  // both pixel coordinates are a base plus the rounded lane.
  const __m128d centres = _mm_set_pd(-up.centre, across.centre);
  const __m128d cosFactors = _mm_set_pd(-yCos, xCos);
  const __m128d sinFactors = _mm_set_pd(-ySin, xSin);
  const __m128d bounds = _mm_set_pd(up.bound, across.bound);
  const __m128d half = _mm_set1_pd(0.5);
  // A value is safe when its distance from the nearest whole number stays
  // below these: farther than its bound from every half.
  const __m128d safeBelow = _mm_sub_pd(half, bounds);
  const __m128d skipBelow = _mm_sub_pd(half, _mm_mul_pd(_mm_set1_pd(3.0), bounds));
  const __m128d shift = _mm_set1_pd(kRoundingShift);
  const __m128d signBit = _mm_set1_pd(-0.0);
  const __m128d chordLimit = _mm_set_sd(kMaxChords);
  // Column and row bases within 2^30 (checked above): 32-bit lanes hold them.
  const __m128i bases =
      _mm_set_epi32(0, 0, static_cast<int32_t>(rowBase), static_cast<int32_t>(columnBase));
  const Turn* const turnBy = turns.turn;
  auto walk = [&](auto skipping) {
    int count = 1;
    // A pixel's two 32-bit halves as one number: a new pixel is a new number.
    int64_t last = _mm_cvtsi128_si64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&start)));
    for (int k = 1; k < points; ++k) {
      const __m128d point = _mm_add_pd(
          _mm_add_pd(centres, _mm_mul_pd(cosFactors, _mm_load_pd(turnBy[k].cosine))),
          _mm_mul_pd(sinFactors, _mm_load_pd(turnBy[k].sine)));
      // Adding 1.5 * 2^52 leaves no fraction: the sum is the nearest whole
      // number plus that, and its low 32 bits are the whole number itself
      // (within 2^30, two's complement). Its distance from the value is
      // exact.
      const __m128d shifted = _mm_add_pd(point, shift);
      const __m128d fraction =
          _mm_andnot_pd(signBit, _mm_sub_pd(point, _mm_sub_pd(shifted, shift)));
      __m128i p;
      if (_mm_movemask_pd(_mm_cmplt_pd(fraction, safeBelow)) == 3) {
        p = _mm_add_epi32(
            _mm_shuffle_epi32(_mm_castpd_si128(shifted), _MM_SHUFFLE(3, 1, 2, 0)), bases);
        if constexpr (decltype(skipping)::value) {
          // Without a branch: no room (or none times an endless count, for
          // a circle of no radius) skips nothing, and never more than a sweep.
          const __m128d rooms = _mm_sub_pd(skipBelow, fraction);
          const __m128d room = _mm_min_sd(rooms, _mm_unpackhi_pd(rooms, rooms));
          const __m128d steps = _mm_mul_sd(room, _mm_set_sd(stepsPerUnit));
          k += _mm_cvttsd_si32(_mm_min_sd(_mm_max_sd(steps, _mm_setzero_pd()), chordLimit));
        }
      } else {  // too near a pixel's edge to tell: as the direct path does it
        a.phi = SweepAfter(phi0, k, a.step);
        double eh = 0, ev = 0;
        ChordPoint(a, eh, ev);
        const Pixel exact = ToPixel(ctx, eh, ev);
        p = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&exact));
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(&chain.pixels[count]), p);
      const int64_t pixel = _mm_cvtsi128_si64(p);
      count += pixel != last;
      last = pixel;
    }
    chain.count = count;
  };
#else
  auto walk = [&](auto skipping) {
    int count = 1;
    Pixel last = start;
    for (int k = 1; k < points; ++k) {
      const Turn& t = turns.turn[k];
      const double x = across.centre + xCos * t.cosine[0] + xSin * t.sine[0];
      const double y = up.centre + yCos * t.cosine[0] + ySin * t.sine[0];
      // The nearest whole numbers (adding 1.5 * 2^52 leaves none of the
      // fraction) and how far each value lies from the nearest half; the
      // differences are exact. Few branches: whether a point lands on a new
      // pixel is a coin toss on a mid-sized circle, and costs nothing here.
      const double wholeX = (x + kRoundingShift) - kRoundingShift;
      const double wholeY = (y + kRoundingShift) - kRoundingShift;
      const double fromHalfX = 0.5 - std::fabs(x - wholeX);
      const double fromHalfY = 0.5 - std::fabs(y - wholeY);
      Pixel p;
      if (fromHalfX > across.bound && fromHalfY > up.bound) {
        p = {static_cast<int32_t>(columnBase + static_cast<int64_t>(wholeX)),
             static_cast<int32_t>(rowBase - static_cast<int64_t>(wholeY))};
        if constexpr (decltype(skipping)::value) {
          const double room =
              std::min(fromHalfX - 3 * across.bound, fromHalfY - 3 * up.bound);
          if (room > 0) {
            const double steps = room * stepsPerUnit;
            k += steps < kMaxChords ? static_cast<int>(steps) : kMaxChords;
          }
        }
      } else {  // too near a pixel's edge to tell: as the direct path does it
        a.phi = SweepAfter(phi0, k, a.step);
        double eh = 0, ev = 0;
        ChordPoint(a, eh, ev);
        p = ToPixel(ctx, eh, ev);
      }
      chain.pixels[count] = p;
      count += (p.x != last.x) | (p.y != last.y);
      last = p;
    }
    chain.count = count;
  };
#endif
  if (stepLength < kShortStep) {
    walk(std::true_type{});
  } else {
    walk(std::false_type{});
  }
  // The closing chord depends on the last point's exact value.
  double ph = h1, pv = v1;
  if (points > 0) {
    a.phi = SweepAfter(phi0, points, a.step);
    ChordPoint(a, ph, pv);
    chain.Add(ToPixel(ctx, ph, pv));
  }
  if (ph != h2 || pv != v2) chain.Add(ToPixel(ctx, h2, v2));
  DrawPixelChain(ctx, chain);
}

}  // namespace

Pixel ToPixel(const NcPathContext& ctx, double h, double v) {
  return PixelOfScaled(ctx, (h + ctx.offsetX) * ctx.scale, (v + ctx.offsetY) * ctx.scale);
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

void DrawArc(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j,
             bool clockwise) {
  if (ctx.arcsByDirectEvaluation) {
    DrawArcDirect(ctx, h1, v1, h2, v2, i, j, clockwise);
  } else {
    DrawArcFast(ctx, h1, v1, h2, v2, i, j, clockwise);
  }
}

void DrawMarker(NcPathContext& ctx, double h, double v) {
  if (ctx.graphics == nullptr || !ctx.fitValid) return;  // the GDI back-end has no markers
  const double units = MarkerUnits(ctx);
  if (!(units > 0)) return;
  // A marker smaller than a pixel (a large plate) is still a dot of radius 1.
  double r = units * ctx.scale;
  if (RoundToPixel(r) < 1) r = 1.0;
  const int32_t left = Column(ctx, (h + ctx.offsetX) * ctx.scale - r);
  const int32_t top = Row(ctx, (v + ctx.offsetY) * ctx.scale + r);
  const int32_t radius = ClampToInt32(RoundToPixel(r));
  ctx.graphics->CanvasFillCircle(left, top, radius, Low8(ctx.markerRed), Low8(ctx.markerGreen),
                                 Low8(ctx.markerBlue));
}

void AddArcExtents(NcPathContext& ctx, double ch, double cv, double h1, double v1, double h2,
                   double v2, bool clockwise) {
  const double r = PointDistance(ch, cv, h1, v1);
  // Every bound chosen below is an end point or the centre plus or minus r:
  // when all of them already lie inside the extents (as for most small arcs
  // of a long program), the arc widens nothing and its angles are not needed.
  // A NaN fails the comparisons and takes the long way.
  const double left = ch - r, right = ch + r, bottom = cv - r, top = cv + r;
  if (left >= ctx.minX && h1 >= ctx.minX && h2 >= ctx.minX && right <= ctx.maxX &&
      h1 <= ctx.maxX && h2 <= ctx.maxX && bottom >= ctx.minY && v1 >= ctx.minY &&
      v2 >= ctx.minY && top <= ctx.maxY && v1 <= ctx.maxY && v2 <= ctx.maxY)
    return;
  double fromDeg = DirectionDegrees(ch, cv, h1, v1);
  double toDeg = DirectionDegrees(ch, cv, h2, v2);
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
