// Arcs take a fast path (one-pixel circles, table-turned chord points);
// direct evaluation, a sine and a cosine per chord point, is the reference.
// Both must make the very same canvas calls, ties on pixel edges included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

// splitmix64: the same arcs on every platform and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Between(double low, double high) { return low + (high - low) * Unit(); }
  double LogBetween(double low, double high) {
    return std::exp(Between(std::log(low), std::log(high)));
  }
  bool Chance(double p) { return Unit() < p; }

 private:
  uint64_t state_;
};

bool SameCalls(const std::vector<CanvasCall>& a, const std::vector<CanvasCall>& b) {
  if (a.size() != b.size()) return false;
  for (size_t n = 0; n < a.size(); ++n) {
    if (a[n].kind != b[n].kind || a[n].a != b[n].a || a[n].b != b[n].b || a[n].c != b[n].c ||
        a[n].d != b[n].d)
      return false;
  }
  return true;
}

// A value on a grid fine enough to land scaled points exactly on pixel
// edges now and then, as programs written in thousandths do; never a grid
// coarser than `finest`, so that a short arc stays short.
double Snap(Random& random, double value, double scale, double finest = 1e300) {
  if (!random.Chance(0.6)) return value;
  const double grid = random.Chance(0.5) ? 0.5 / scale : 0.001;
  return grid < finest ? std::round(value / grid) * grid : value;
}

struct Arc {
  double h1, v1, h2, v2, i, j;
  bool clockwise;
};

// Any size from a fraction of a pixel to far beyond the picture, any sweep
// (mostly short ones, which keeps the run short), both directions, starts
// off the end's radius, full circles and ends on the axes.
Arc RandomArc(Random& random, const NcPathContext& ctx) {
  const double scale = ctx.scale;
  const double pixelsAcross = random.Chance(0.9) ? 300.0 : 1e7;
  const double ch = Snap(random, random.Between(-0.1, 1.1) * 251 / scale - ctx.offsetX, scale);
  const double cv = Snap(random, random.Between(-0.1, 1.1) * 251 / scale - ctx.offsetY, scale);
  const double r = Snap(random, random.LogBetween(1e-3, pixelsAcross) / scale, scale);
  const double quarter = 1.5707963267948966;
  double from = random.Between(0, 4 * quarter);
  if (random.Chance(0.3)) from = quarter * std::floor(random.Between(0, 4));
  const double kind = random.Unit();
  double sweep = kind < 0.985 ? random.Between(0, 0.05) : random.Between(0, 4 * quarter);
  if (kind > 0.995) sweep = 0;  // start equals end: a full circle
  const bool clockwise = random.Chance(0.5);
  const double to = from + (clockwise ? -sweep : sweep);
  double startR = r;
  if (random.Chance(0.3)) startR = r * random.Between(0.9, 1.1);
  Arc arc;
  const double finest = r * sweep / 16;
  arc.h1 = Snap(random, ch + startR * std::cos(from), scale, finest);
  arc.v1 = Snap(random, cv + startR * std::sin(from), scale, finest);
  arc.h2 = sweep == 0 ? arc.h1 : Snap(random, ch + r * std::cos(to), scale, finest);
  arc.v2 = sweep == 0 ? arc.v1 : Snap(random, cv + r * std::sin(to), scale, finest);
  arc.i = ch - arc.h1;
  arc.j = cv - arc.v1;
  arc.clockwise = clockwise;
  return arc;
}

TEST(ArcChords, FastPathMakesTheDirectCallsOnTwoMillionRandomArcs) {
  Random random(20261207);
  RecordingCanvas fast, direct;
  fast.calls.reserve(1024);
  direct.calls.reserve(1024);
  NcPathContext ctx = ThumbnailContext(fast);
  ctx.fitValid = true;
  int differing = 0;
  for (int n = 0; n < 2000000; ++n) {
    if (n % 1000 == 0) {  // a new view now and then: tiny to huge scales
      ctx.scale = random.LogBetween(1e-6, 1e6);
      ctx.offsetX = random.Between(-1000, 1000) / std::sqrt(ctx.scale);
      ctx.offsetY = random.Between(-1000, 1000) / std::sqrt(ctx.scale);
      if (random.Chance(0.5)) {  // a round view, on which ties are common
        const double scales[] = {0.5, 1, 2, 2.5, 4, 10, 125, 1000};
        ctx.scale = scales[random.Next() % 8];
        ctx.offsetX = std::round(ctx.offsetX * 8) / 8;
        ctx.offsetY = std::round(ctx.offsetY * 8) / 8;
      }
    }
    const Arc arc = RandomArc(random, ctx);
    fast.calls.clear();
    direct.calls.clear();
    ctx.graphics = &fast;
    ctx.arcsByDirectEvaluation = false;
    DrawArc(ctx, arc.h1, arc.v1, arc.h2, arc.v2, arc.i, arc.j, arc.clockwise);
    ctx.graphics = &direct;
    ctx.arcsByDirectEvaluation = true;
    DrawArc(ctx, arc.h1, arc.v1, arc.h2, arc.v2, arc.i, arc.j, arc.clockwise);
    if (!SameCalls(fast.calls, direct.calls) && ++differing <= 5) {
      ADD_FAILURE() << std::hexfloat << "arc " << n << ": scale " << ctx.scale << " offsets "
                    << ctx.offsetX << ' ' << ctx.offsetY << " from " << arc.h1 << ' ' << arc.v1
                    << " to " << arc.h2 << ' ' << arc.v2 << " centre offset " << arc.i << ' '
                    << arc.j << (arc.clockwise ? " cw: " : " ccw: ") << fast.calls.size()
                    << " calls, direct " << direct.calls.size();
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST(ArcChords, EveryBundledProgramDrawsAsByDirectEvaluation) {
  const char* const programs[] = {"iso-milling.nc", "iso-drilling.nc", "turning.nc",
                                  "tnc-contour.h", "crlf-tnc.h"};
  for (const char* name : programs) {
    std::ifstream file(std::string(VANTREL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    ASSERT_TRUE(file) << name;
    std::stringstream text;
    text << file.rdbuf();
    const std::string program = text.str();
    for (int32_t size : {251, 2044}) {  // the thumbnail, and the largest picture
      RecordingCanvas fast, direct;
      NcPathContext ctx = ThumbnailContext(fast);
      ctx.canvasWidth = ctx.canvasHeight = size;
      MemorySource fastSource(program.data(), program.size());
      DrawToolpath(ctx, fastSource);
      NcPathContext reference = ThumbnailContext(direct);
      reference.canvasWidth = reference.canvasHeight = size;
      reference.arcsByDirectEvaluation = true;
      MemorySource directSource(program.data(), program.size());
      DrawToolpath(reference, directSource);
      EXPECT_GT(direct.Count(CanvasCall::Line), 0u) << name;
      EXPECT_TRUE(SameCalls(fast.calls, direct.calls)) << name << " at " << size << " pixels";
    }
  }
}

}  // namespace
