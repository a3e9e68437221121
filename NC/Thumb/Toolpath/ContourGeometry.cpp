// Geometry of the TNC contour elements that depend on their neighbours:
// tangential arcs, roundings and chamfers. Plain plane geometry in program
// units (vertical axis up); no allocation, no loops.
#include <cmath>

#include "NcPathContext.h"

namespace {

// Below this a length or cross product counts as zero: program units are
// millimetres or inches, so this is far below anything a control resolves.
constexpr double kTiny = 1e-9;

struct Vec {
  double h, v;
};

Vec operator+(Vec a, Vec b) { return {a.h + b.h, a.v + b.v}; }
Vec operator-(Vec a, Vec b) { return {a.h - b.h, a.v - b.v}; }
Vec operator*(double k, Vec a) { return {k * a.h, k * a.v}; }
double Dot(Vec a, Vec b) { return a.h * b.h + a.v * b.v; }
double Cross(Vec a, Vec b) { return a.h * b.v - a.v * b.h; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }
Vec LeftNormal(Vec a) { return {-a.v, a.h}; }

Vec Start(const ContourMove& m) { return {m.sh, m.sv}; }
Vec End(const ContourMove& m) { return {m.eh, m.ev}; }
Vec Centre(const ContourMove& m) { return {m.ch, m.cv}; }
bool IsArc(const ContourMove& m) { return m.kind == ContourMove::ArcCw || m.kind == ContourMove::ArcCcw; }

// Every coordinate the geometry needs is there.
bool Complete(const ContourMove& m) {
  if (m.kind == ContourMove::None) return false;
  if (!IsGiven(m.sh) || !IsGiven(m.sv) || !IsGiven(m.eh) || !IsGiven(m.ev)) return false;
  return !IsArc(m) || (m.hasCentre && IsGiven(m.ch) && IsGiven(m.cv));
}

bool Unit(Vec a, Vec& unit) {
  const double length = Length(a);
  if (!(length > kTiny)) return false;
  unit = (1.0 / length) * a;
  return true;
}

// Angle in degrees, [0, 360), that a move sweeps from its start to `point`
// on its circle, in its own direction.
double SweepTo(const ContourMove& arc, Vec point) {
  const double from = DirectionDegrees(arc.ch, arc.cv, arc.sh, arc.sv);
  const double to = DirectionDegrees(arc.ch, arc.cv, point.h, point.v);
  double sweep = arc.kind == ContourMove::ArcCcw ? to - from : from - to;
  if (sweep < 0) sweep += 360.0;
  return sweep;
}

// Lays `bridge` (a rounding or a chamfer) from `from` to `to` and shortens
// the moves on either side of the corner to meet it.
void Bridge(ContourMove& before, ContourMove& after, Vec from, Vec to, ContourMove& bridge) {
  bridge.sh = from.h;
  bridge.sv = from.v;
  bridge.eh = to.h;
  bridge.ev = to.v;
  before.eh = from.h;
  before.ev = from.v;
  after.sh = to.h;
  after.sv = to.v;
}

// Whether `point` (already on the element's line or circle) lies on the
// element itself, between its start and its end.
bool OnMove(const ContourMove& m, Vec point) {
  if (!IsArc(m)) {
    const Vec along = End(m) - Start(m);
    const double t = Dot(point - Start(m), along);
    return t >= -kTiny && t <= Dot(along, along) + kTiny;
  }
  const bool full = m.sh == m.eh && m.sv == m.ev;
  const double whole = full ? 360.0 : SweepTo(m, End(m));
  const double part = SweepTo(m, point);
  return part <= whole + 1e-9 || part >= 360.0 - 1e-9;  // the start itself may read as 360
}

// The element moved sideways by `distance` to its left (negative: right):
// a parallel line through `point` along `dir`, or a concentric circle.
struct Offset {
  bool circle;
  Vec point, dir;  // line
  Vec centre;      // circle
  double radius;
};

bool OffsetOf(const ContourMove& m, double distance, Offset& out) {
  if (!IsArc(m)) {
    Vec dir{0, 0};
    if (!Unit(End(m) - Start(m), dir)) return false;
    out = {false, Start(m) + distance * LeftNormal(dir), dir, {0, 0}, 0};
    return true;
  }
  // The centre lies to the left of a counter-clockwise arc.
  const double r = Length(Start(m) - Centre(m));
  const double radius = m.kind == ContourMove::ArcCcw ? r - distance : r + distance;
  if (!(radius > kTiny)) return false;
  out = {true, {0, 0}, {0, 0}, Centre(m), radius};
  return true;
}

// The meeting point of two offsets nearest to `near` (the corner).
bool Meet(const Offset& a, const Offset& b, Vec near, Vec& at) {
  if (!a.circle && !b.circle) {
    const double denom = Cross(a.dir, b.dir);
    if (std::fabs(denom) < kTiny) return false;
    at = a.point + (Cross(b.point - a.point, b.dir) / denom) * a.dir;
    return true;
  }
  Vec first{0, 0}, second{0, 0};
  if (a.circle != b.circle) {
    const Offset& line = a.circle ? b : a;
    const Offset& circle = a.circle ? a : b;
    const Vec f = line.point - circle.centre;
    const double half = Dot(f, line.dir);
    double disc = half * half - (Dot(f, f) - circle.radius * circle.radius);
    if (disc < 0) {
      if (disc < -kTiny * circle.radius * circle.radius) return false;
      disc = 0;  // touching, within rounding
    }
    first = line.point + (-half + std::sqrt(disc)) * line.dir;
    second = line.point + (-half - std::sqrt(disc)) * line.dir;
  } else {
    const Vec d = b.centre - a.centre;
    const double dist = Length(d);
    if (!(dist > kTiny)) return false;
    const double along = (a.radius * a.radius - b.radius * b.radius + dist * dist) / (2 * dist);
    double h2 = a.radius * a.radius - along * along;
    if (h2 < 0) {
      if (h2 < -kTiny * a.radius * a.radius) return false;
      h2 = 0;
    }
    const Vec unit = (1.0 / dist) * d;
    const Vec base = a.centre + along * unit;
    first = base + std::sqrt(h2) * LeftNormal(unit);
    second = base - std::sqrt(h2) * LeftNormal(unit);
  }
  at = Length(first - near) <= Length(second - near) ? first : second;
  return true;
}

// Foot of the perpendicular from `point` onto the element's line or circle.
Vec Foot(const ContourMove& m, Vec point) {
  if (!IsArc(m)) {
    Vec dir{0, 0};
    Unit(End(m) - Start(m), dir);  // OffsetOf has checked the length
    return Start(m) + Dot(point - Start(m), dir) * dir;
  }
  const Vec c = Centre(m);
  const double r = Length(Start(m) - c);
  Vec toward{0, 0};
  if (!Unit(point - c, toward)) return Start(m);
  return c + r * toward;
}

// The corner between two complete elements: where one ends and the next
// starts, and which way the contour turns there (+1 left, -1 right).
bool Corner(const ContourMove& before, const ContourMove& after, Vec& corner, double& turn) {
  if (!Complete(before) || !Complete(after)) return false;
  corner = End(before);
  if (Length(Start(after) - corner) > 1e-6) return false;
  Vec in{0, 0}, out{0, 0};
  MoveTangent(before, true, in.h, in.v);
  MoveTangent(after, false, out.h, out.v);
  if (!Unit(in, in) || !Unit(out, out)) return false;
  const double cross = Cross(in, out);
  if (std::fabs(cross) < 1e-9) return false;  // no corner: nothing to round
  turn = cross > 0 ? 1.0 : -1.0;
  return true;
}

}  // namespace

void MoveTangent(const ContourMove& move, bool atEnd, double& th, double& tv) {
  if (!IsArc(move)) {
    th = move.eh - move.sh;
    tv = move.ev - move.sv;
    return;
  }
  const Vec radial = (atEnd ? End(move) : Start(move)) - Centre(move);
  const Vec left = LeftNormal(radial);  // counter-clockwise travel
  th = move.kind == ContourMove::ArcCcw ? left.h : -left.h;
  tv = move.kind == ContourMove::ArcCcw ? left.v : -left.v;
}

bool TangentArc(double sh, double sv, double th, double tv, double eh, double ev,
                ContourMove& arc) {
  Vec tangent{0, 0};
  if (!Unit({th, tv}, tangent)) return false;
  const Vec start{sh, sv};
  const Vec chord = Vec{eh, ev} - start;
  // The centre lies on the normal at the start, as far from the start as from
  // the end: s along the left normal, s negative for a clockwise arc.
  const double across = Dot(LeftNormal(tangent), chord);
  if (std::fabs(across) < kTiny * (1.0 + Length(chord))) return false;  // straight ahead
  const double s = Dot(chord, chord) / (2.0 * across);
  const Vec centre = start + s * LeftNormal(tangent);
  arc.kind = s > 0 ? ContourMove::ArcCcw : ContourMove::ArcCw;
  arc.hasCentre = true;
  arc.sh = sh;
  arc.sv = sv;
  arc.eh = eh;
  arc.ev = ev;
  arc.ch = centre.h;
  arc.cv = centre.v;
  return true;
}

bool RoundCorner(ContourMove& before, ContourMove& after, double r, ContourMove& rounding) {
  Vec corner{0, 0};
  double turn = 0;
  if (!(r > 0) || !Corner(before, after, corner, turn)) return false;
  // The rounding's centre keeps the distance r from both elements, on the
  // inside of the turn.
  Offset a, b;
  Vec centre{0, 0};
  if (!OffsetOf(before, turn * r, a) || !OffsetOf(after, turn * r, b) ||
      !Meet(a, b, corner, centre))
    return false;
  const Vec endBefore = Foot(before, centre);
  const Vec startAfter = Foot(after, centre);
  if (!OnMove(before, endBefore) || !OnMove(after, startAfter)) return false;  // radius too big

  rounding.kind = turn > 0 ? ContourMove::ArcCcw : ContourMove::ArcCw;
  rounding.hasCentre = true;
  rounding.ch = centre.h;
  rounding.cv = centre.v;
  Bridge(before, after, endBefore, startAfter, rounding);
  return true;
}

bool ChamferCorner(ContourMove& before, ContourMove& after, double length, ContourMove& chamfer) {
  Vec corner{0, 0};
  double turn = 0;
  if (!(length > 0) || IsArc(before) || IsArc(after) || !Corner(before, after, corner, turn))
    return false;
  const Vec in = End(before) - Start(before);
  const Vec out = End(after) - Start(after);
  // A chamfer longer than either move would leave the contour.
  if (length > Length(in) + kTiny || length > Length(out) + kTiny) return false;
  const Vec from = corner - (length / Length(in)) * in;
  const Vec to = corner + (length / Length(out)) * out;
  chamfer.kind = ContourMove::Line;
  chamfer.hasCentre = false;
  Bridge(before, after, from, to, chamfer);
  return true;
}
