// Plane geometry in program units (vertical axis up) and the view fit.
#include <cmath>

#include "NcPathContext.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kRadiansPerDegree = 0.017453292519943295;

double Degrees(double radians) { return radians / kRadiansPerDegree; }
}  // namespace

// Direction of the vector in radians, in (-pi/4, 7pi/4]; only its sine and
// cosine are used, so it is not brought into [0, 2pi).
double VectorAngle(double x1, double y1, double x2, double y2) {
  if (x1 == x2 && y1 == y2) return 0.0;
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  if (std::fabs(dx) > std::fabs(dy)) {
    double a = std::atan(dy / dx);
    return x1 > x2 ? a + kPi : a;
  }
  double a = kHalfPi - std::atan(dx / dy);
  return y1 > y2 ? a + kPi : a;
}

double PointDistance(double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

// Direction in degrees, counter-clockwise from +x, in [0, 360).
double DirectionDegrees(double x1, double y1, double x2, double y2) {
  const double dx = std::fabs(x2 - x1);
  const double dy = std::fabs(y2 - y1);
  if (x2 == x1) {
    if (y2 > y1) return 90.0;
    if (y2 < y1) return 270.0;
    return 0.0;
  }
  if (y2 == y1) return x2 > x1 ? 0.0 : 180.0;
  if (x2 > x1 && y2 > y1) return Degrees(std::atan(dy / dx));
  if (x2 < x1 && y2 > y1) return 90.0 + Degrees(std::atan(dx / dy));
  if (x2 < x1 && y2 < y1) return 180.0 + Degrees(std::atan(dy / dx));
  if (x2 > x1 && y2 < y1) return 270.0 + Degrees(std::atan(dx / dy));
  return 0.0;  // a NaN coordinate: no direction
}

// One intersection of two circles. With both radii R around an arc's start
// and end, the clockwise choice is the centre of the clockwise arc of at most
// 180 degrees; the other is that of the counter-clockwise one.
bool CircleIntersection(double x1, double y1, double r1, double x2, double y2, double r2,
                        bool clockwise, double& cx, double& cy) {
  const double g = VectorAngle(x1, y1, x2, y2);
  const double d = PointDistance(x1, y1, x2, y2);
  if (!(d >= 1e-10) || !(std::fabs(r1) >= 1e-10) || !(std::fabs(r2) >= 1e-10)) return false;
  double c = (d * d + r1 * r1 - r2 * r2) / (2.0 * r1 * d);
  if (!std::isfinite(c) || std::fabs(c) - 1.0 > 0.001) return false;  // the circles do not meet
  if (std::fabs(c) - 1.0 > -0.001) c = c > 0 ? 1.0 : -1.0;          // they touch, within 0.1 %
  const double a = std::acos(c);
  const double angle = clockwise ? g - a : g + a;
  cx = x1 + r1 * std::cos(angle);
  cy = y1 + r1 * std::sin(angle);
  return true;
}

// Scale and offsets that put the extents into a width x height area: the
// larger range spans the area from 0, the other is centred.
void FitToView(double minX, double maxX, double minY, double maxY, int32_t width, int32_t height,
               double& scale, double& offsetX, double& offsetY) {
  const double rangeX = maxX - minX;
  const double rangeY = maxY - minY;
  const double sx = width / rangeX;
  const double sy = height / rangeY;
  scale = rangeX > rangeY ? sx : sy;
  offsetX = -minX;
  offsetY = -minY;
  if (scale == sx) {
    offsetY = (height - (height - std::fabs(minY - maxY) * scale) * 0.5) / scale - maxY;
  } else if (scale == sy) {
    offsetX = (width - (width - std::fabs(minX - maxX) * scale) * 0.5) / scale - maxX;
  }
}

void FitInside(double minX, double maxX, double minY, double maxY, int32_t width, int32_t height,
               double& scale, double& offsetX, double& offsetY) {
  FitToView(minX, maxX, minY, maxY, width, height, scale, offsetX, offsetY);
  const double rangeX = maxX - minX;
  const double rangeY = maxY - minY;
  if (!(rangeX > 0 && rangeY > 0)) return;
  const double sx = width / rangeX;
  const double sy = height / rangeY;
  scale = sx < sy ? sx : sy;
  offsetX = (width / scale - rangeX) * 0.5 - minX;
  offsetY = (height / scale - rangeY) * 0.5 - minY;
}
