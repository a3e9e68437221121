#include "PathRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

// Floor of a / b for b > 0, with the remainder a - floor * b in [0, b).
// 128 bits: a line's ends may lie 2^32 apart on both axes.
std::pair<int64_t, int64_t> FloorDivide(__int128 a, int64_t b) {
  __int128 q = a / b;
  __int128 r = a % b;
  if (r < 0) {
    q -= 1;
    r += b;
  }
  return {static_cast<int64_t>(q), static_cast<int64_t>(r)};
}

// Floor and ceiling of a / b for b > 0.
int64_t FloorOf(__int128 a, int64_t b) { return FloorDivide(a, b).first; }
int64_t CeilingOf(__int128 a, int64_t b) { return -FloorOf(-a, b); }

// A filled circle as GDI+ fills an ellipse with smoothing off:
//  - four cubic Bezier quarters, starting at the right-most point, their
//    control points a fraction 4/3 tan(22.5 deg) of the radius along the
//    tangents, computed in single precision and rounded to whole pixels;
//  - each quarter flattened by halving, in sixteenths of a pixel with
//    integer midpoints (a + b + 1) / 2, until its control points lie
//    between its ends and within a pixel of a line from its start at the
//    chord's whole-number slope, at most eight halvings deep;
//  - the polygon filled at pixel centres, edges at the left and top in,
//    at the right and bottom out.
// It is what the DLL's GDI+ gives under Wine; the Windows GDI+ may differ
// at the edges.
constexpr int kFixedShift = 4;  // sixteenths of a pixel
constexpr int64_t kFixedPixel = int64_t{1} << kFixedShift;
constexpr int kMaxHalvings = 8;
constexpr int kMaxOutline = 4 * (1 << kMaxHalvings) + 1;

struct Point {
  int64_t x, y;
};

int64_t ToFixed(int64_t v) { return v * kFixedPixel; }
int64_t FromFixed(int64_t v) {
  return FloorOf(__int128{v} + kFixedPixel / 2, kFixedPixel);
}
// (a + b + 1) / 2, the quotient truncated toward zero.
int64_t Midpoint(int64_t a, int64_t b) { return (a + b + 1) / 2; }
Point Midpoint(Point a, Point b) { return {Midpoint(a.x, b.x), Midpoint(a.y, b.y)}; }

// Flat enough: both control points lie between the ends along the chord's
// longer axis, and within a pixel across it of the line from the start at
// the chord's slope truncated to a whole number.
bool IsFlat(const Point (&p)[4]) {
  const bool shallow = std::abs(p[3].y - p[0].y) <= std::abs(p[3].x - p[0].x);
  auto along = [shallow](Point q) { return shallow ? q.x : q.y; };
  auto across = [shallow](Point q) { return shallow ? q.y : q.x; };
  for (int c = 1; c <= 2; ++c) {
    if (along(p[c]) < along(p[0]) ? along(p[c]) < along(p[3]) : along(p[c]) > along(p[3])) {
      return false;
    }
  }
  const int64_t span = FromFixed(along(p[3]) - along(p[0]));
  if (span == 0) return true;
  const int64_t slope = (across(p[3]) - across(p[0])) / span;  // truncated
  for (int c = 1; c <= 2; ++c) {
    const int64_t off =
        across(p[c]) - across(p[0]) - slope * FromFixed(along(p[c]) - along(p[0]));
    if (std::abs(off) > kFixedPixel) return false;
  }
  return true;
}

// Appends the ends of the flat pieces of the quarter `p` (in sixteenths)
// to `outline`, in whole pixels.
void Flatten(Point (&p)[4], int halvingsLeft, Point* outline, int& count) {
  if (halvingsLeft == 0 || IsFlat(p)) {
    if (count < kMaxOutline) outline[count++] = {FromFixed(p[3].x), FromFixed(p[3].y)};
    return;
  }
  Point second[4];
  second[3] = p[3];
  second[2] = Midpoint(p[2], p[3]);
  const Point middle = Midpoint(p[1], p[2]);
  second[1] = Midpoint(middle, second[2]);
  p[1] = Midpoint(p[0], p[1]);
  p[2] = Midpoint(p[1], middle);
  p[3] = Midpoint(p[2], second[1]);
  second[0] = p[3];
  Flatten(p, halvingsLeft - 1, outline, count);
  Flatten(second, halvingsLeft - 1, outline, count);
}

// The polygon of a filled circle in the square (left, top, 2 r, 2 r).
int CircleOutline(int32_t left, int32_t top, int32_t radius, Point* outline) {
  const float r = static_cast<float>(radius);
  const float cx = static_cast<float>(static_cast<double>(left) + r);
  const float cy = static_cast<float>(static_cast<double>(top) + r);
  const double pi = 3.14159265358979323846;
  Point quarterEnds[13];
  for (int k = 0; k < 4; ++k) {
    const float from = static_cast<float>(k * pi / 2);
    const float to = static_cast<float>((k + 1) * pi / 2);
    const auto half = static_cast<float>((double{to} - from) / 2.0);
    const auto tangent =
        static_cast<float>(4.0 / 3.0 * (1 - std::cos(double{half})) / std::sin(double{half}));
    const auto cosFrom = static_cast<float>(std::cos(double{from}));
    const auto sinFrom = static_cast<float>(std::sin(double{from}));
    const auto cosTo = static_cast<float>(std::cos(double{to}));
    const auto sinTo = static_cast<float>(std::sin(double{to}));
    const float unit[4][2] = {
        {cosFrom, sinFrom},
        {static_cast<float>(cosFrom - double{tangent} * sinFrom),
         static_cast<float>(sinFrom + double{tangent} * cosFrom)},
        {static_cast<float>(cosTo + double{tangent} * sinTo),
         static_cast<float>(sinTo - double{tangent} * cosTo)},
        {cosTo, sinTo}};
    for (int i = k == 0 ? 0 : 1; i < 4; ++i) {
      const auto x = static_cast<float>(double{unit[i][0]} * r + cx);
      const auto y = static_cast<float>(double{unit[i][1]} * r + cy);
      quarterEnds[3 * k + i] = {static_cast<int64_t>(std::floor(double{x} + 0.5)),
                                static_cast<int64_t>(std::floor(double{y} + 0.5))};
    }
  }
  int count = 0;
  outline[count++] = quarterEnds[0];
  for (int k = 0; k < 4; ++k) {
    Point quarter[4];
    for (int i = 0; i < 4; ++i) {
      quarter[i] = {ToFixed(quarterEnds[3 * k + i].x), ToFixed(quarterEnds[3 * k + i].y)};
    }
    Flatten(quarter, kMaxHalvings, outline, count);
  }
  return count;
}

// RasterWalkedLine for a line with both ends inside the picture: every
// pixel it covers is inside too (the minor coordinate stays between the
// ends'), so the walk needs no clipping, and the ends' differences fit in
// 32 bits.
void RasterInsideLine(const PixelRows& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      uint32_t colour) {
  // As the general walk below: along the longer axis from its lower end,
  // the minor coordinate rounded half up, stepped with the remainder.
  const int32_t dx = x2 - x1, dy = y2 - y1;
  if (dy == 0) {
    // A row, as facing passes draw them by the thousand: one fill.
    uint32_t* const row = picture.pixels + y1 * picture.stride;
    std::fill(row + std::min(x1, x2), row + std::max(x1, x2) + 1, colour);
    return;
  }
  int64_t at = y1 * picture.stride + x1;
  const bool steep = std::abs(dy) > std::abs(dx);
  int32_t da = steep ? dy : dx, dm = steep ? dx : dy;
  if (da < 0) {  // start from the other end
    at += dy * picture.stride + dx;
    da = -da;
    dm = -dm;
  }
  const int64_t majorStride = steep ? picture.stride : 1;
  const int64_t minorStride = steep ? 1 : picture.stride;
  const int64_t twoDa = 2 * int64_t{da};
  const int64_t twoDm = 2 * int64_t{dm};
  int64_t remainder = da;
  for (int32_t a = 0;; ++a) {
    picture.pixels[at] = colour;
    if (a == da) break;
    at += majorStride;
    remainder += twoDm;
    if (remainder >= twoDa) {
      remainder -= twoDa;
      at += minorStride;
    } else if (remainder < 0) {
      remainder += twoDa;
      at -= minorStride;
    }
  }
}

}  // namespace

void RasterWalkedLine(const PixelRows& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      uint32_t colour) {
  if ((x1 == x2 && y1 == y2) || picture.pixels == nullptr) return;
  const auto width = static_cast<uint32_t>(std::max(picture.width, 0));
  const auto height = static_cast<uint32_t>(std::max(picture.height, 0));
  if (static_cast<uint32_t>(x1) < width && static_cast<uint32_t>(x2) < width &&
      static_cast<uint32_t>(y1) < height && static_cast<uint32_t>(y2) < height) {
    RasterInsideLine(picture, x1, y1, x2, y2, colour);
    return;
  }

  // Walk the longer axis ("major") from its lower end, so that a line and
  // its reverse cover the same pixels.
  const bool steep = std::abs(int64_t{y2} - y1) > std::abs(int64_t{x2} - x1);
  int64_t a1 = steep ? y1 : x1, m1 = steep ? x1 : y1;
  int64_t a2 = steep ? y2 : x2, m2 = steep ? x2 : y2;
  if (a1 > a2) {
    std::swap(a1, a2);
    std::swap(m1, m2);
  }
  const int64_t majorSize = steep ? picture.height : picture.width;
  const auto minorSize = static_cast<uint64_t>(steep ? picture.width : picture.height);
  const int64_t from = std::max<int64_t>(a1, 0);
  const int64_t to = std::min<int64_t>(a2, majorSize - 1);
  if (from > to) return;

  // The minor coordinate at major a is m1 + (a - a1) * dm / da rounded half
  // up: floor((2 (a - a1) dm + da) / (2 da)). Exact at the clipped start,
  // then stepped with the remainder.
  const int64_t da = a2 - a1;  // > 0
  const int64_t dm = m2 - m1;
  const int64_t twoDa = 2 * da;
  // A line that starts inside the picture needs no division: at a1 the
  // quotient is 0 and the remainder da.
  auto [step, remainder] = from == a1 ? std::pair<int64_t, int64_t>{0, da}
                                      : FloorDivide(__int128{2} * (from - a1) * dm + da, twoDa);
  int64_t m = m1 + step;
  const int64_t majorStride = steep ? picture.stride : 1;
  const int64_t minorStride = steep ? 1 : picture.stride;
  for (int64_t a = from; a <= to; ++a) {
    if (static_cast<uint64_t>(m) < minorSize) {
      picture.pixels[a * majorStride + m * minorStride] = colour;
    }
    remainder += 2 * dm;  // |2 dm| <= 2 da: at most one step either way
    if (remainder >= twoDa) {
      remainder -= twoDa;
      ++m;
    } else if (remainder < 0) {
      remainder += twoDa;
      --m;
    }
  }
}

void RasterLines(const PixelRows& picture, const Pixel* points, int count, uint32_t colour) {
  if (count < 2 || picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return;
  // RasterLine's lines once more, with the picture's fields in registers
  // and the common case, a step to a neighbouring pixel, made cheap.
  const PixelRows rows = picture;
  const auto width = static_cast<uint32_t>(rows.width);
  const auto height = static_cast<uint32_t>(rows.height);
  auto inside = [width, height](Pixel p) {
    return static_cast<uint32_t>(p.x) < width && static_cast<uint32_t>(p.y) < height;
  };
  // Differences in unsigned arithmetic: a pixel far outside the picture
  // may lie 2^32 away.
  auto neighbours = [](Pixel a, Pixel b) {
    return static_cast<uint32_t>(b.x) - static_cast<uint32_t>(a.x) + 1u <= 2u &&
           static_cast<uint32_t>(b.y) - static_cast<uint32_t>(a.y) + 1u <= 2u;
  };
  for (int n = 1; n < count;) {
    const Pixel a = points[n - 1], b = points[n++];
    if (!inside(a) || !inside(b)) {
      RasterWalkedLine(rows, a.x, a.y, b.x, b.y, colour);
      continue;
    }
    if (a.x == b.x && a.y == b.y) continue;  // no mark
    if (neighbours(a, b)) {
      rows.pixels[a.y * rows.stride + a.x] = colour;
      rows.pixels[b.y * rows.stride + b.x] = colour;
    } else {
      RasterInsideLine(rows, a.x, a.y, b.x, b.y, colour);
    }
    // Both ends now hold the colour. Steps on to neighbours inside the
    // picture write only their new pixel: the one they start from is done,
    // and a step that stays on it changes nothing.
    for (Pixel from = b; n < count; ++n) {
      const Pixel to = points[n];
      if (!inside(to) || !neighbours(from, to)) break;
      rows.pixels[to.y * rows.stride + to.x] = colour;
      from = to;
    }
  }
}

void RasterCircle(const PixelRows& picture, int32_t left, int32_t top, int32_t radius,
                  uint32_t colour) {
  if (radius < 1 || picture.pixels == nullptr) return;
  Point outline[kMaxOutline];
  const int count = CircleOutline(left, top, radius, outline);
  int64_t lowest = outline[0].y, highest = outline[0].y;
  for (int i = 1; i < count; ++i) {
    lowest = std::min(lowest, outline[i].y);
    highest = std::max(highest, outline[i].y);
  }
  const int64_t firstRow = std::max<int64_t>(lowest, 0);
  const int64_t lastRow = std::min<int64_t>(highest, int64_t{picture.height} - 1);
  int64_t crossings[kMaxOutline];
  for (int64_t y = firstRow; y <= lastRow; ++y) {
    // Where the row of pixel centres crosses the edges; an edge holds its
    // upper end and leaves out its lower one.
    int n = 0;
    for (int i = 0; i < count; ++i) {
      Point a = outline[i], b = outline[(i + 1) % count];
      if (a.y == b.y) continue;
      if (a.y > b.y) std::swap(a, b);
      if (y < a.y || y >= b.y) continue;
      const int64_t dy = b.y - a.y;
      // The first pixel centre at or right of the crossing.
      crossings[n++] = CeilingOf(__int128{a.x} * dy + __int128{y - a.y} * (b.x - a.x), dy);
    }
    std::sort(crossings, crossings + n);
    uint32_t* row = picture.pixels + y * picture.stride;
    for (int i = 0; i + 1 < n; i += 2) {
      const int64_t from = std::max<int64_t>(crossings[i], 0);
      const int64_t to = std::min<int64_t>(crossings[i + 1], picture.width);
      for (int64_t x = from; x < to; ++x) row[x] = colour;
    }
  }
}
