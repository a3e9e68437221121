#include <gtest/gtest.h>

#include <cmath>

#include "NcPathContext.h"

namespace {

constexpr double kPi = 3.141592653589793;

TEST(Geometry, AnglesAndDistances) {
  EXPECT_DOUBLE_EQ(VectorAngle(0, 0, 0, -1), 3 * kPi / 2);
  EXPECT_DOUBLE_EQ(VectorAngle(0, 0, -1, 0), kPi);
  EXPECT_DOUBLE_EQ(VectorAngle(0, 0, 2, -1), std::atan(-0.5));
  EXPECT_EQ(VectorAngle(3, 3, 3, 3), 0.0);
  EXPECT_DOUBLE_EQ(DirectionDegrees(0, 0, -1, 1), 135.0);
  EXPECT_NEAR(DirectionDegrees(0, 0, 1, -2), 296.565051177, 1e-9);
  EXPECT_EQ(DirectionDegrees(0, 0, 0, 5), 90.0);
  EXPECT_EQ(DirectionDegrees(0, 0, -5, 0), 180.0);
  EXPECT_EQ(DirectionDegrees(1, 1, 1, 1), 0.0);
  EXPECT_DOUBLE_EQ(PointDistance(1, 1, 4, 5), 5.0);
}

TEST(Geometry, CircleIntersectionFindsArcCentres) {
  double cx = 0, cy = 0;
  ASSERT_TRUE(CircleIntersection(0, 0, 10, 10, 0, 10, true, cx, cy));
  EXPECT_NEAR(cx, 5, 1e-12);
  EXPECT_NEAR(cy, -5 * std::sqrt(3.0), 1e-12);
  ASSERT_TRUE(CircleIntersection(0, 0, 10, 10, 0, 10, false, cx, cy));
  EXPECT_NEAR(cy, 5 * std::sqrt(3.0), 1e-12);
  ASSERT_TRUE(CircleIntersection(0, 0, 5, 10, 0, 5, true, cx, cy));  // a diameter
  EXPECT_NEAR(cx, 5, 1e-12);
  EXPECT_NEAR(cy, 0, 1e-12);
  EXPECT_FALSE(CircleIntersection(0, 0, 5, 10.02, 0, 5, true, cx, cy));
  ASSERT_TRUE(CircleIntersection(0, 0, 5, 10.005, 0, 5, true, cx, cy));  // touching, within 0.1 %
  EXPECT_NEAR(cx, 5, 1e-9);
  EXPECT_FALSE(CircleIntersection(0, 0, 5, 0, 0, 5, true, cx, cy));  // same point
  EXPECT_FALSE(CircleIntersection(0, 0, NAN, 1, 0, 5, true, cx, cy));
}

TEST(Geometry, FitToViewKeepsTheAspectRatio) {
  double scale = 0, ox = 0, oy = 0;
  FitToView(0, 100, 0, 50, 251, 251, scale, ox, oy);
  EXPECT_DOUBLE_EQ(scale, 2.51);
  EXPECT_DOUBLE_EQ(ox, 0);
  EXPECT_DOUBLE_EQ(oy, 25);
  FitToView(5, 5, 0, 10, 251, 251, scale, ox, oy);  // no x range: x centred
  EXPECT_DOUBLE_EQ(scale, 25.1);
  EXPECT_DOUBLE_EQ((5 + ox) * scale, 125.5);
  FitToView(999999, -999999, 999999, -999999, 251, 251, scale, ox, oy);  // empty
  EXPECT_LT(scale, 0);
  FitToView(3, 3, 4, 4, 251, 251, scale, ox, oy);  // one point
  EXPECT_FALSE(std::isfinite(scale));
}

}  // namespace
