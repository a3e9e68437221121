#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "PathRaster.h"

namespace {

struct Picture {
  std::vector<uint32_t> memory;
  PixelRows rows;
  Picture(int32_t width, int32_t height) : memory(static_cast<size_t>(width) * height, 0) {
    rows = {memory.data(), width, height, width};
  }
};

// A run of lines must leave exactly what its lines drawn one at a time
// leave: the path writer takes the run's shortcuts (a step to a neighbour
// writes one pixel, a row is one fill) only where they change nothing.
TEST(PathRaster, RunsWriteWhatTheirLinesWriteOneByOne) {
  std::mt19937 random(11);
  const int32_t far[] = {INT32_MIN, -70000, -1, 0, 60, 61, 70000, INT32_MAX};
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<Pixel> points(1 + random() % 40);
    Pixel at{static_cast<int32_t>(random() % 61), static_cast<int32_t>(random() % 41)};
    for (Pixel& p : points) {
      switch (random() % 6) {
        case 0:  // anywhere on the picture or just off it
          at = {static_cast<int32_t>(random() % 70) - 5, static_cast<int32_t>(random() % 50) - 5};
          break;
        case 1:  // far off, up to the ends of 32 bits
          at = {far[random() % 8], far[random() % 8]};
          break;
        case 2:  // along a row
          at.x = static_cast<int32_t>(random() % 61);
          break;
        default:  // a neighbour, or the same pixel again
          if (at.x < -10 || at.x > 80 || at.y < -10 || at.y > 60) at = {30, 20};
          at.x += static_cast<int32_t>(random() % 3) - 1;
          at.y += static_cast<int32_t>(random() % 3) - 1;
          break;
      }
      p = at;
    }
    Picture run(61, 41), oneByOne(61, 41);
    RasterLines(run.rows, points.data(), static_cast<int>(points.size()), 0xFF0000FFu);
    for (size_t n = 1; n < points.size(); ++n) {
      RasterLine(oneByOne.rows, points[n - 1].x, points[n - 1].y, points[n].x, points[n].y,
                 0xFF0000FFu);
    }
    ASSERT_EQ(run.memory, oneByOne.memory) << "trial " << trial;
  }
}

}  // namespace
