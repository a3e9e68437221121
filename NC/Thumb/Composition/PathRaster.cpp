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

// Largest n with n * n <= value, for value >= 0.
int64_t IntegerSquareRoot(int64_t value) {
  auto n = static_cast<int64_t>(std::sqrt(static_cast<double>(value)));
  while (n > 0 && n * n > value) --n;
  while ((n + 1) * (n + 1) <= value) ++n;
  return n;
}

}  // namespace

void RasterLine(const PixelRows& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                uint32_t colour) {
  if ((x1 == x2 && y1 == y2) || picture.pixels == nullptr) return;

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

void RasterCircle(const PixelRows& picture, int32_t left, int32_t top, int32_t radius,
                  uint32_t colour) {
  if (radius < 1 || picture.pixels == nullptr) return;
  const int64_t r = radius;
  const int64_t cx = int64_t{left} + r;
  const int64_t cy = int64_t{top} + r;
  const int64_t firstRow = std::max<int64_t>(cy - r, 0);
  const int64_t lastRow = std::min<int64_t>(cy + r, int64_t{picture.height} - 1);
  for (int64_t y = firstRow; y <= lastRow; ++y) {
    const int64_t dy = y - cy;
    const int64_t half = IntegerSquareRoot(r * r - dy * dy);
    const int64_t firstColumn = std::max<int64_t>(cx - half, 0);
    const int64_t lastColumn = std::min<int64_t>(cx + half, int64_t{picture.width} - 1);
    uint32_t* row = picture.pixels + y * picture.stride;
    for (int64_t x = firstColumn; x <= lastColumn; ++x) row[x] = colour;
  }
}
