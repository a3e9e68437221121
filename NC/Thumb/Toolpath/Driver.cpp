// The two-pass driver. The first pass frames the path, counts the Y and Z
// letters and the dialect votes and decides the drawing plane; between the
// passes the extents are fitted into the drawing area; the second pass draws
// and captures the first three comments.
#include <cmath>
#include <cstring>

#include "NcPathContext.h"

namespace {

constexpr size_t kChunkSize = 64 * 1024;
constexpr uint64_t kFewBytesLeft = 60;  // below this the plane is decided at once

struct Point {
  double h = NOT_GIVEN, v = NOT_GIVEN;
};

// The X and Y words: where the block sends the tool. Read one at a time (a
// volatile read is never merged with its neighbour): the word reader has
// just stored one of them, and loading both at once, 16 bytes, would wait
// until that 8-byte store reached the cache instead of taking its value on
// the way, a stall on every block.
Point WordTarget(const NcPathContext& ctx) {
  const volatile double* const words = ctx.words;
  return {words[SLOT_X], words[SLOT_Y]};
}

// Pass start: back to the first byte, modal state cleared.
void StartPass(NcPathContext& ctx, StreamReader& reader, Point& previous) {
  reader.Rewind();  // a source that cannot seek leaves the reader at its end
  ctx.streamSizeKnown = true;
  ctx.streamSize = reader.Size();
  for (double& word : ctx.words) word = NOT_GIVEN;
  for (bool& given : ctx.wordGiven) given = false;
  ctx.modeRapid = ctx.modeLinear = ctx.modeArcCw = ctx.modeArcCcw = false;
  for (bool& flag : ctx.incremental) flag = false;
  ctx.ccBlock = false;
  ctx.modeCycle = ctx.modalCall = false;
  ctx.arcForm = ARC_PLAIN;
  ctx.inchProgram = false;
  ctx.machineBlock = false;
  ctx.centerRelI = ctx.centerRelJ = true;
  ctx.tncBlock = TNC_NONE;
  ctx.heldMove = ContourMove{};
  ctx.heldCorner = TNC_NONE;
  ctx.callsCycle = ctx.cycleMarks = ctx.planeTilted = false;
  for (double& shift : ctx.datumShift) shift = 0.0;
  ResetEvaluation(ctx.eval);
  previous = Point{};
}

// Scans the next block; false when the pass must end (the scanner finds no
// byte left, or the program has jumped and used up the block budget).
// Over-long lines are skipped whole, so `matches` always belongs to a block
// that can be read. Until its first jump back a program runs forward
// through the file, which bounds it; from then on every block counts.
inline bool ScanNextBlock(NcPathContext& ctx, StreamReader& reader, BlockLine& line) {
  for (;;) {
    if (ctx.eval.counting && !SpendBlocks(ctx.eval, 1)) return false;
    const int result = ScanBlock(ctx, reader, line);
    if (result == -1) return false;
    if (result != -2) return true;
    reader.SkipLine();  // a line too long to be a block changes nothing
  }
}

// Centre of an arc given by its radius: the point at |R| from both the start
// and the end. A negative R asks for the arc of more than 180 degrees, whose
// centre lies on the other side of the chord.
bool RadiusCentre(const Point& start, const Point& end, double r, bool clockwise, double& ch,
                  double& cv) {
  if (r == 0 || !IsGiven(r) || !IsGiven(end.h) || !IsGiven(end.v)) return false;
  const bool side = r > 0 ? clockwise : !clockwise;
  return CircleIntersection(start.h, start.v, std::fabs(r), end.h, end.v, std::fabs(r), side, ch,
                            cv);
}

// An arc programmed with R and without I or J (ISO).
bool UsesRadius(const NcPathContext& ctx) {
  return ctx.isTnc == 0 && ctx.wordGiven[SLOT_R] && !ctx.wordGiven[SLOT_I] &&
         !ctx.wordGiven[SLOT_J];
}

void AddTargetExtents(NcPathContext& ctx, const Point& target) {
  if (IsGiven(target.h)) {
    if (target.h < ctx.minX) ctx.minX = target.h;
    if (target.h > ctx.maxX) ctx.maxX = target.h;
  }
  if (IsGiven(target.v)) {
    if (target.v < ctx.minY) ctx.minY = target.v;
    if (target.v > ctx.maxY) ctx.maxY = target.v;
  }
}

// A straight cut from an unknown position (the program's first move, or the
// first after a block in machine coordinates) draws nothing; the first pass
// framed only its end.
void DrawStraight(NcPathContext& ctx, const Point& start, const Point& end) {
  if (IsGiven(start.h) && IsGiven(start.v)) DrawLine(ctx, start.h, start.v, end.h, end.v);
}

// Frames a straight cut: its end and, when the tool's position before it is
// known, its start too, so that a cut after a rapid approach stays inside
// the picture. Every straight move of either dialect is framed here.
void FrameStraight(NcPathContext& ctx, const Point& start, const Point& end) {
  if (IsGiven(start.h) && IsGiven(start.v)) AddTargetExtents(ctx, start);
  AddTargetExtents(ctx, end);
}

// The centre the first pass frames an arc around: from R (ISO) or from I and
// J; false when there is none.
bool FramingCentre(const NcPathContext& ctx, const Point& previous, const Point& target,
                   double& ch, double& cv) {
  if (UsesRadius(ctx) && RadiusCentre(previous, target, ctx.words[SLOT_R], ctx.modeArcCw, ch, cv))
    return true;
  if (!IsGiven(ctx.words[SLOT_I]) || !IsGiven(ctx.words[SLOT_J])) return false;
  ch = ctx.words[SLOT_I] + (ctx.centerRelI ? previous.h : 0.0);
  cv = ctx.words[SLOT_J] + (ctx.centerRelJ ? previous.v : 0.0);
  return true;
}

// Frames an arc by its bounding box. Nothing derived from a missing word
// enters the extents: an arc without a usable centre, or from an unknown
// position (which draws nothing), frames its end point like a straight move.
void FrameArcAround(NcPathContext& ctx, bool centre, double ch, double cv, const Point& previous,
                    const Point& target, bool clockwise) {
  const bool known = IsGiven(previous.h) && IsGiven(previous.v);
  if (known && centre && IsGiven(target.h) && IsGiven(target.v)) {
    AddArcExtents(ctx, ch, cv, previous.h, previous.v, target.h, target.v, clockwise);
  } else {
    AddTargetExtents(ctx, target);
  }
}

// Whether the box of half-width `reach` around (h, v) lies inside the
// extents so far; false for NaN or infinite values.
bool InsideExtents(const NcPathContext& ctx, double h, double v, double reach) {
  return std::isfinite(reach) && h - reach >= ctx.minX && h + reach <= ctx.maxX &&
         v - reach >= ctx.minY && v + reach <= ctx.maxY;
}

// Whether framing an R arc would widen nothing, known without its centre.
// The centre lies within |R| of the start, so the circle AddArcExtents
// frames lies within 2 |R| of it; 3 |R| and a margin relative to the
// coordinates cover every rounding on the way. Should the radius centre fail,
// the arc is framed around I and J, or by its end point alone: those are
// checked as AddArcExtents checks them.
bool RadiusArcWidensNothing(const NcPathContext& ctx, const Point& previous, const Point& target) {
  if (!IsGiven(previous.h) || !IsGiven(previous.v) || !IsGiven(target.h) || !IsGiven(target.v))
    return false;
  const double margin =
      3.0 * std::fabs(ctx.words[SLOT_R]) + 1e-9 * (1.0 + std::fabs(previous.h) + std::fabs(previous.v));
  if (!InsideExtents(ctx, previous.h, previous.v, margin) ||
      !InsideExtents(ctx, target.h, target.v, 0.0))
    return false;
  if (!IsGiven(ctx.words[SLOT_I]) || !IsGiven(ctx.words[SLOT_J])) return true;
  const double ch = ctx.words[SLOT_I] + (ctx.centerRelI ? previous.h : 0.0);
  const double cv = ctx.words[SLOT_J] + (ctx.centerRelJ ? previous.v : 0.0);
  return InsideExtents(ctx, ch, cv, PointDistance(ch, cv, previous.h, previous.v));
}

void FrameArc(NcPathContext& ctx, const Point& previous, const Point& target) {
  // Most R arcs of a long program lie inside what the blocks before them
  // framed: their centre, two arccosines and arctangents later, would change
  // nothing.
  if (UsesRadius(ctx) && RadiusArcWidensNothing(ctx, previous, target)) return;
  double ch = 0, cv = 0;
  const bool centre = FramingCentre(ctx, previous, target, ch, cv);
  FrameArcAround(ctx, centre, ch, cv, previous, target, ctx.modeArcCw);
}

// ---- Sinumerik arcs -------------------------------------------------------
// An arc by its opening angle (AR=), with full turns (TURN=) or through a
// point (CIP) becomes what every arc has: an end and a centre offset (I, J)
// from the start, the same in both passes.

void SetArcCentre(NcPathContext& ctx, const Point& start, double ch, double cv) {
  ctx.words[SLOT_I] = ch - start.h;
  ctx.words[SLOT_J] = cv - start.v;
  ctx.wordGiven[SLOT_I] = ctx.wordGiven[SLOT_J] = true;
  ctx.wordGiven[SLOT_R] = false;
}

// CIP: the circle through the start, the point I1 J1 (K1) and the end; its
// direction is the one that passes the point. Three points in a line are a
// straight move.
void ArcThroughPoint(NcPathContext& ctx, const Point& start, const Point& end) {
  const bool xy = ctx.plane != 2;
  const int h = xy ? 0 : 2, v = xy ? 1 : 0;  // lathe: K1 across, I1 (a diameter) upwards
  if (!ctx.arcViaGiven[h] || !ctx.arcViaGiven[v] || !IsGiven(end.h) || !IsGiven(end.v)) return;
  double ph = ctx.arcVia[h];
  double pv = ctx.arcVia[v] * (xy ? 1.0 : 0.5);
  if (ctx.incremental[0]) {  // G91: from the start
    ph += start.h;
    pv += start.v;
  }
  const double ah = ph - start.h, av = pv - start.v;
  const double bh = end.h - start.h, bv = end.v - start.v;
  const double cross = ah * bv - av * bh;
  ctx.modeRapid = ctx.modeArcCw = ctx.modeArcCcw = ctx.modeLinear = false;
  const double scale = ah * ah + av * av + bh * bh + bv * bv;
  if (!(std::fabs(cross) > 1e-12 * scale)) {
    ctx.modeLinear = true;
    return;
  }
  const double a2 = ah * ah + av * av, b2 = bh * bh + bv * bv;
  const double ch = start.h + (bv * a2 - av * b2) / (2 * cross);
  const double cv = start.v + (ah * b2 - bh * a2) / (2 * cross);
  (cross > 0 ? ctx.modeArcCcw : ctx.modeArcCw) = true;
  SetArcCentre(ctx, start, ch, cv);
}

// AR=: with the end point, the centre lies on the chord's bisector; with
// the centre (I, J) and no end point, the end is the start turned around it.
void ArcByAngle(NcPathContext& ctx, const Point& start, Point& target) {
  constexpr double kDegree = 3.141592653589793 / 180.0;
  const double angle = ctx.arcAngle * kDegree;
  if (!(ctx.modeArcCw || ctx.modeArcCcw) || !(angle > 0 && angle < 360 * kDegree)) return;
  const double turn = ctx.modeArcCcw ? 1.0 : -1.0;
  if (ctx.wordGiven[SLOT_X] || ctx.wordGiven[SLOT_Y]) {
    if (!IsGiven(target.h) || !IsGiven(target.v)) return;
    const double dh = target.h - start.h, dv = target.v - start.v;
    const double chord = std::sqrt(dh * dh + dv * dv);
    if (chord == 0) return;
    const double along = 0.5 / std::tan(angle / 2);  // from the middle, in chords
    SetArcCentre(ctx, start, start.h + dh / 2 - turn * dv * along, start.v + dv / 2 + turn * dh * along);
  } else if (ctx.wordGiven[SLOT_I] && ctx.wordGiven[SLOT_J]) {
    const double ih = -ctx.words[SLOT_I], iv = -ctx.words[SLOT_J];  // centre to start
    const double c = std::cos(turn * angle), s = std::sin(turn * angle);
    target = {start.h + ctx.words[SLOT_I] + ih * c - iv * s, start.v + ctx.words[SLOT_J] + ih * s + iv * c};
    ctx.words[SLOT_X] = target.h;
    ctx.words[SLOT_Y] = target.v;
    ctx.wordGiven[SLOT_X] = ctx.wordGiven[SLOT_Y] = true;
  }
}

// Resolves the block's Sinumerik arc words; `target` becomes the end to
// draw to. Returns where the tool stands after the block: the end, also
// when full turns (TURN=) draw the whole circle, from the start back to it.
Point ResolveArcForm(NcPathContext& ctx, const Point& start, Point& target) {
  const uint8_t form = ctx.arcForm;
  ctx.arcForm = form & CALL_FROM_NEXT ? CALL_STARTS : ARC_PLAIN;
  if (form & CALL_STARTS) ctx.modeCycle = ctx.modalCall;
  if (!IsGiven(start.h) || !IsGiven(start.v)) return target;
  if (form & ARC_VIA) ArcThroughPoint(ctx, start, target);
  if (form & ARC_ANGLE) ArcByAngle(ctx, start, target);
  const Point end = target;
  if ((form & ARC_TURNS) && (ctx.modeArcCw || ctx.modeArcCcw)) {
    double ch = 0, cv = 0;
    if (UsesRadius(ctx) && RadiusCentre(start, end, ctx.words[SLOT_R], ctx.modeArcCw, ch, cv))
      SetArcCentre(ctx, start, ch, cv);
    if (ctx.wordGiven[SLOT_I] || ctx.wordGiven[SLOT_J]) target = start;
  }
  return end;
}

// ---- TNC contours --------------------------------------------------------
// Every element of a TNC contour (L, C, CR, CT, LP, CP) waits one block in
// heldMove before it is framed (first pass) or drawn (second pass): a RND or
// CHF block after it shortens its end. Both passes make the same decisions,
// so the picture fits its frame. A held element is let go, whole, at the
// program end and when a block interrupts the contour without drawing: a
// rapid move (the tool leaves the contour; a rounding or chamfer asked just
// before it is dropped), a drilling point or an ISO move. Blocks that do not
// move the tool in the plane (CC, tool calls, a feed move in Z only) leave it
// waiting.

// Frames or draws one element through the same operations as every move.
void EmitMove(NcPathContext& ctx, const ContourMove& move, bool drawing) {
  const Point start{move.sh, move.sv};
  const Point end{move.eh, move.ev};
  const bool clockwise = move.kind == ContourMove::ArcCw;
  if (move.kind == ContourMove::Line) {
    if (drawing) {
      DrawStraight(ctx, start, end);
    } else {
      FrameStraight(ctx, start, end);
    }
  } else if (move.kind == ContourMove::ArcCw || move.kind == ContourMove::ArcCcw) {
    if (!drawing) {
      FrameArcAround(ctx, move.hasCentre, move.ch, move.cv, start, end, clockwise);
    } else if (move.hasCentre && IsGiven(start.h) && IsGiven(start.v)) {
      // An arc without a centre (a C block before any CC) draws nothing.
      const double i = move.ch - start.h;
      const double j = move.cv - start.v;
      if (clockwise) {
        DrawArcCw(ctx, start.h, start.v, end.h, end.v, i, j);
      } else {
        DrawArcCcw(ctx, start.h, start.v, end.h, end.v, i, j);
      }
    }
  }
}

void LetGoHeld(NcPathContext& ctx, bool drawing) {
  // ISO programs hold nothing: every block of theirs passes here. Nothing
  // held means a cleared heldMove and no corner asked.
  if (ctx.heldMove.kind == ContourMove::None) return;
  EmitMove(ctx, ctx.heldMove, drawing);
  ctx.heldMove = ContourMove{};
  ctx.heldCorner = TNC_NONE;
}

// A new contour element: shapes the corner asked for between the held
// element and this one, lets the held one go and holds this one.
void AddContourMove(NcPathContext& ctx, ContourMove move, bool drawing) {
  ContourMove corner;
  bool shaped = false;
  if (ctx.heldCorner == TNC_ROUND) {
    shaped = RoundCorner(ctx.heldMove, move, ctx.heldCornerSize, corner);
  } else if (ctx.heldCorner == TNC_CHAMFER) {
    shaped = ChamferCorner(ctx.heldMove, move, ctx.heldCornerSize, corner);
  }
  // A corner that cannot be made (too large, no corner, arcs for a chamfer)
  // is left sharp.
  LetGoHeld(ctx, drawing);
  if (shaped) EmitMove(ctx, corner, drawing);
  ctx.heldMove = move;
}

// Centre of the last CC block, absolute; false when there is none yet.
bool CcCentre(const NcPathContext& ctx, const Point& previous, double& ch, double& cv) {
  ch = ctx.words[SLOT_I];
  cv = ctx.words[SLOT_J];
  if (!IsGiven(ch) || !IsGiven(cv)) return false;
  if (ctx.centerRelI || ctx.centerRelJ) {  // CC IX.. IY..: from the position
    if (!IsGiven(previous.h) || !IsGiven(previous.v)) return false;
    if (ctx.centerRelI) ch += previous.h;
    if (ctx.centerRelJ) cv += previous.v;
  }
  return true;
}

// Target of an LP or CP block: radius PR (CP: the present radius) and angle
// PA around the CC centre; a missing PR or PA keeps the position's own, IPR
// and IPA add to it. False when there is no target.
bool PolarTarget(NcPathContext& ctx, const Point& previous, bool circle, Point& target,
                 double& ch, double& cv) {
  constexpr double kDegree = 3.141592653589793 / 180.0;
  if (!IsGiven(ctx.polarRadius) && !IsGiven(ctx.polarAngle)) return false;  // nothing to go to
  if (!CcCentre(ctx, previous, ch, cv)) return false;
  // A centre given relative (CC IX.. IY..) is taken from where the first
  // polar move starts and stays there, so the following ones turn around it
  // too instead of around a point that moves with the tool.
  ctx.words[SLOT_I] = ch;
  ctx.words[SLOT_J] = cv;
  ctx.centerRelI = ctx.centerRelJ = false;
  const bool known = IsGiven(previous.h) && IsGiven(previous.v);
  const bool needsPosition = circle || ctx.polarRadiusInc || ctx.polarAngleInc ||
                             !IsGiven(ctx.polarRadius) || !IsGiven(ctx.polarAngle);
  if (needsPosition && !known) return false;
  const double radiusNow = known ? PointDistance(ch, cv, previous.h, previous.v) : 0.0;
  const double angleNow = known ? DirectionDegrees(ch, cv, previous.h, previous.v) : 0.0;

  double radius = radiusNow;
  if (!circle && IsGiven(ctx.polarRadius))
    radius = ctx.polarRadiusInc ? radiusNow + ctx.polarRadius : ctx.polarRadius;
  double angle = angleNow;
  if (IsGiven(ctx.polarAngle)) angle = ctx.polarAngleInc ? angleNow + ctx.polarAngle : ctx.polarAngle;

  if (circle && ctx.polarAngleInc && ctx.polarAngle == 0) return false;  // IPA+0: no move
  target = {ch + radius * std::cos(angle * kDegree), cv + radius * std::sin(angle * kDegree)};
  // Back at the start (IPA+360, or PA at the present angle): a whole circle,
  // which the arc operations know by an end equal to the start.
  if (known && PointDistance(target.h, target.v, previous.h, previous.v) <= 1e-9 * (1.0 + radius))
    target = previous;
  return true;
}

// A drilling point where a TNC cycle is called, framed or drawn as the
// points of an ISO drilling cycle are.
void MarkCyclePoint(NcPathContext& ctx, const Point& at, bool drawing) {
  if (!IsGiven(at.h) || !IsGiven(at.v)) return;
  LetGoHeld(ctx, drawing);
  if (!drawing && ctx.plane != 2) AddPointExtents(ctx, at.h, at.v);
  if (drawing && ctx.plane == 1) DrawMarker(ctx, at.h, at.v);
}

// Blocks in a tilted working plane move the tool in coordinates a view from
// above cannot show: they keep their modes but leave no trace, and where
// they leave the tool is unknown. Returns the block's word count as the
// passes then see it.
int LeaveTiltedBlock(NcPathContext& ctx, int stored, Point& previous, bool drawing) {
  if (!ctx.planeTilted) return stored;
  LetGoHeld(ctx, drawing);
  ctx.words[SLOT_X] = ctx.words[SLOT_Y] = ctx.words[SLOT_Z] = NOT_GIVEN;
  for (bool& given : ctx.wordGiven) given = false;
  ctx.tncBlock = TNC_NONE;
  ctx.callsCycle = false;
  previous = Point{};
  return stored == -1 ? -1 : 0;
}

// One block of a TNC contour (the scanner named it), in either pass.
void TncContourBlock(NcPathContext& ctx, Point& previous, Point target, bool drawing) {
  const bool known = IsGiven(previous.h) && IsGiven(previous.v);
  double ch = NOT_GIVEN, cv = NOT_GIVEN;
  switch (ctx.tncBlock) {
    case TNC_STRUCTURE:
      return;
    case TNC_CYCLE_CALL_POS:
      LetGoHeld(ctx, drawing);
      if (ctx.wordGiven[SLOT_X] || ctx.wordGiven[SLOT_Y]) previous = target;
      [[fallthrough]];
    case TNC_CYCLE_CALL:
      if (ctx.cycleMarks) MarkCyclePoint(ctx, previous, drawing);
      return;
    case TNC_CENTRE:
      // CC without coordinates: the centre is where the tool stands.
      if (!ctx.tncCentreGiven && known) {
        ctx.words[SLOT_I] = previous.h;
        ctx.words[SLOT_J] = previous.v;
      }
      return;
    case TNC_ROUND:
    case TNC_CHAMFER:
      if (ctx.heldMove.kind != ContourMove::None) {
        ctx.heldCorner = ctx.tncBlock;
        ctx.heldCornerSize = ctx.tncBlock == TNC_ROUND ? ctx.words[SLOT_R] : ctx.chamferLength;
      }
      return;
    case TNC_POLAR_LINE:
    case TNC_POLAR_CIRCLE:
      if (!PolarTarget(ctx, previous, ctx.tncBlock == TNC_POLAR_CIRCLE, target, ch, cv)) return;
      // The polar point is the position that following X/Y words complete.
      ctx.words[SLOT_X] = target.h;
      ctx.words[SLOT_Y] = target.v;
      break;
    default:
      if (ctx.modeRapid) LetGoHeld(ctx, drawing);  // even in Z only: the tool leaves the contour
      if (!ctx.wordGiven[SLOT_X] && !ctx.wordGiven[SLOT_Y]) return;  // no move in the plane
      break;
  }

  if (ctx.modeRapid || (!ctx.modeLinear && !ctx.modeArcCw && !ctx.modeArcCcw)) {
    LetGoHeld(ctx, drawing);  // the tool leaves the contour
    previous = target;
    return;
  }

  ContourMove move;
  move.sh = previous.h;
  move.sv = previous.v;
  move.eh = target.h;
  move.ev = target.v;
  // An arc block without DR+ or DR- is a straight move, as "C " without them is.
  move.kind = ctx.modeLinear ? ContourMove::Line
              : ctx.modeArcCw ? ContourMove::ArcCw
                              : ContourMove::ArcCcw;
  if (ctx.tncBlock == TNC_TANGENT) {
    double th = 0, tv = 0;
    // Tangent to the element before; without one (after a rapid move) the
    // direction is unknown and the block is drawn straight.
    const ContourMove& before = ctx.heldMove;
    if (known && (before.kind == ContourMove::Line || before.hasCentre))
      MoveTangent(before, true, th, tv);
    if (!known || !TangentArc(previous.h, previous.v, th, tv, target.h, target.v, move))
      move.kind = ContourMove::Line;
  } else if (move.kind != ContourMove::Line) {
    if (ctx.tncBlock == TNC_RADIUS) {
      move.hasCentre =
          known && RadiusCentre(previous, target, ctx.words[SLOT_R], ctx.modeArcCw, ch, cv);
    } else if (ctx.tncBlock == TNC_POLAR_CIRCLE) {
      move.hasCentre = true;  // PolarTarget found it
    } else if (drawing) {
      move.hasCentre = known && CcCentre(ctx, previous, ch, cv);  // C: around the last CC
    } else {
      move.hasCentre = FramingCentre(ctx, previous, target, ch, cv);
    }
    move.ch = ch;
    move.cv = cv;
  }
  if (!drawing && ctx.modeCycle) AddPointExtents(ctx, target.h, target.v);
  AddContourMove(ctx, move, drawing);
  previous = target;
}

// A TNC block, and the cycle M99 calls where it ends.
void TncBlock(NcPathContext& ctx, Point& previous, const Point& target, bool drawing) {
  TncContourBlock(ctx, previous, target, drawing);
  if (ctx.callsCycle && ctx.tncBlock != TNC_CYCLE_CALL && ctx.tncBlock != TNC_CYCLE_CALL_POS &&
      ctx.cycleMarks)
    MarkCyclePoint(ctx, previous, drawing);
}

// Restart after the plane became XZ: the blocks read so far are framed anew
// in the turning axes. Votes and letter counts run on.
void RestartForTurning(NcPathContext& ctx, StreamReader& reader, Point& previous) {
  StartPass(ctx, reader, previous);
  ctx.maxX = ctx.maxY = EMPTY_MAX;
  ctx.minX = ctx.minY = EMPTY_MIN;
}

// The forced plane decision once the end of the program is near.
void DecideNearEnd(NcPathContext& ctx, StreamReader& reader, Point& previous) {
  if (ctx.plane != -1 || reader.Remaining() >= kFewBytesLeft) return;
  ctx.plane = DecidePlane(ctx, true);
  if (ctx.plane == 2) {
    RestartForTurning(ctx, reader, previous);
  } else {
    ctx.plane = 1;
  }
}

void FirstPass(NcPathContext& ctx, StreamReader& reader) {
  Point previous;
  StartPass(ctx, reader, previous);
  BlockLine line;
  while (ScanNextBlock(ctx, reader, line)) {
    const int n =
        LeaveTiltedBlock(ctx, ReadAddressWords(ctx, reader, line, ctx.plane != 2), previous, false);
    if (n == -1) break;
    if (ctx.machineBlock) {
      // Machine positions frame nothing, and the tool stands nowhere known
      // after them. The block keeps its place in the plane decision, as a
      // block with words would: lathe programs often end with one.
      LetGoHeld(ctx, false);
      previous = Point{};
      ctx.arcForm = ARC_PLAIN;
      if (ctx.plane == -1) {
        ctx.plane = DecidePlane(ctx, false);
        if (ctx.plane == 2) {
          RestartForTurning(ctx, reader, previous);
          continue;
        }
      }
      DecideNearEnd(ctx, reader, previous);
      continue;
    }
    Point target = WordTarget(ctx);
    const Point after = ctx.arcForm != ARC_PLAIN ? ResolveArcForm(ctx, previous, target) : target;

    if (ctx.plane != 2 && ctx.modeCycle && IsGiven(target.h) && IsGiven(target.v)) {
      LetGoHeld(ctx, false);
      AddPointExtents(ctx, target.h, target.v);
      previous = target;
    }
    // A TNC block may mean something without storing a word (RND R5 twice).
    if (n == 0 && ctx.tncBlock == TNC_NONE) continue;

    const bool given = ctx.wordGiven[SLOT_X] || ctx.wordGiven[SLOT_Y] ||
                       ctx.wordGiven[SLOT_I] || ctx.wordGiven[SLOT_J];
    if (given && ctx.plane == -1) {
      ctx.plane = DecidePlane(ctx, false);
      if (ctx.plane == 2) {
        RestartForTurning(ctx, reader, previous);
        continue;
      }
    }
    if (ctx.tncBlock != TNC_NONE) {
      TncBlock(ctx, previous, target, false);
      if (n == 0) continue;
    } else if (given) {
      LetGoHeld(ctx, false);
      if (ctx.modeLinear) FrameStraight(ctx, previous, target);  // rapid moves frame nothing
      if (ctx.modeArcCw || ctx.modeArcCcw) FrameArc(ctx, previous, target);
      if (ctx.modeCycle) AddPointExtents(ctx, target.h, target.v);
      previous = after;
    }

    DecideNearEnd(ctx, reader, previous);
  }
  LetGoHeld(ctx, false);
}

void FitBetweenPasses(NcPathContext& ctx) {
  if (ctx.fitInsideArea) {
    FitInside(ctx.minX, ctx.maxX, ctx.minY, ctx.maxY, ctx.canvasWidth, ctx.canvasHeight, ctx.scale,
              ctx.offsetX, ctx.offsetY);
  } else {
    FitToView(ctx.minX, ctx.maxX, ctx.minY, ctx.maxY, ctx.canvasWidth, ctx.canvasHeight,
              ctx.scale, ctx.offsetX, ctx.offsetY);
  }
  // Nothing framed gives a negative scale, coinciding points an infinite
  // one: either way there is nothing to draw.
  ctx.fitValid = std::isfinite(ctx.scale) && ctx.scale > 0 && std::isfinite(ctx.offsetX) &&
                 std::isfinite(ctx.offsetY);
  ctx.isTnc = ctx.isoHits < ctx.tncHits ? 1 : 0;  // a tie counts as ISO
}

void CaptureComment(NcPathContext& ctx) {
  if (!ctx.hasComment || ctx.commentCount >= MAX_COMMENTS) return;
  char* slot = ctx.comments[ctx.commentCount++];
  std::memcpy(slot, ctx.commentText, COMMENT_SIZE);
  slot[COMMENT_SIZE - 1] = '\0';
}

// Centre offsets of an arc from its start, or false when it cannot be drawn.
bool ArcOffsets(const NcPathContext& ctx, const Point& previous, const Point& target,
                bool clockwise, double& i, double& j) {
  const double wordI = ctx.words[SLOT_I];
  const double wordJ = ctx.words[SLOT_J];
  if (ctx.isTnc) {
    // The centre of the last CC block, absolute unless IX/IY made it relative.
    i = ctx.centerRelI ? wordI : wordI - previous.h;
    j = ctx.centerRelJ ? wordJ : wordJ - previous.v;
    if (!IsGiven(wordI) || !IsGiven(wordJ)) i = j = NOT_GIVEN;
    return true;
  }
  // R0 gives no radius centre: the arc is drawn with I and J as they stand,
  // as the first pass frames it.
  if (UsesRadius(ctx) && ctx.words[SLOT_R] != 0) {
    double ch = 0, cv = 0;
    if (!RadiusCentre(previous, target, ctx.words[SLOT_R], clockwise, ch, cv)) return false;
    i = ch - previous.h;
    j = cv - previous.v;
    return true;
  }
  i = wordI;
  j = wordJ;
  return true;
}

void SecondPass(NcPathContext& ctx, StreamReader& reader) {
  Point previous;
  StartPass(ctx, reader, previous);
  BlockLine line;
  while (ScanNextBlock(ctx, reader, line)) {
    ++ctx.blockCount;
    CaptureComment(ctx);
    // An ISO straight move ends the arc centre; a TNC centre stays for the
    // next "C " block even over straight moves, as the first pass frames it.
    if (ctx.isTnc == 0 && (ctx.modeRapid || ctx.modeLinear)) {
      ctx.words[SLOT_I] = ctx.words[SLOT_J] = NOT_GIVEN;
    }
    const int n =
        LeaveTiltedBlock(ctx, ReadAddressWords(ctx, reader, line, ctx.plane != 2), previous, true);
    if (ctx.machineBlock) {  // draws nothing; the next move starts nowhere known
      if (n == -1) break;
      LetGoHeld(ctx, true);
      previous = Point{};
      ctx.arcForm = ARC_PLAIN;
      continue;
    }
    Point target = WordTarget(ctx);
    const Point after = ctx.arcForm != ARC_PLAIN ? ResolveArcForm(ctx, previous, target) : target;

    if (ctx.plane == 1 && ctx.modeCycle && IsGiven(target.h) && IsGiven(target.v)) {
      LetGoHeld(ctx, true);
      previous = target;
      DrawMarker(ctx, target.h, target.v);
    }
    if (n == -1) break;
    if (ctx.tncBlock != TNC_NONE) {
      TncBlock(ctx, previous, target, true);
      continue;
    }
    if (n == 0) continue;
    if (!ctx.wordGiven[SLOT_X] && !ctx.wordGiven[SLOT_Y] && !ctx.wordGiven[SLOT_I] &&
        !ctx.wordGiven[SLOT_J] && !ctx.wordGiven[SLOT_R])
      continue;
    LetGoHeld(ctx, true);
    if (!ctx.wordGiven[SLOT_X] && !ctx.wordGiven[SLOT_Y]) previous = target;

    if (ctx.modeLinear) {
      DrawStraight(ctx, previous, target);
    } else if (ctx.modeArcCw || ctx.modeArcCcw) {
      const bool clockwise = ctx.modeArcCw;
      double i = 0, j = 0;
      if (ArcOffsets(ctx, previous, target, clockwise, i, j)) {
        if (clockwise) {
          DrawArcCw(ctx, previous.h, previous.v, target.h, target.v, i, j);
        } else {
          DrawArcCcw(ctx, previous.h, previous.v, target.h, target.v, i, j);
        }
      }
    } else if (ctx.modeCycle) {
      DrawMarker(ctx, target.h, target.v);
    }
    previous = after;  // a rapid move only moves the tool
  }
  LetGoHeld(ctx, true);
}

}  // namespace

bool AtStreamEnd(NcPathContext& ctx, StreamReader& reader) {
  ctx.streamSizeKnown = true;
  ctx.streamSize = reader.Size();
  return reader.AtEnd();
}

int DrawToolpath(NcPathContext& ctx, ByteSource& source) {
  // The reader's buffer lives here, so a run allocates nothing.
  uint8_t buffer[kChunkSize + StreamReader::kPadding];
  StreamReader reader(source, buffer, sizeof buffer);

  ClearCompiled(ctx.eval);
  FirstPass(ctx, reader);
  FitBetweenPasses(ctx);
  SecondPass(ctx, reader);

  if (ctx.gdiPenSelected && ctx.gdi != nullptr) ctx.gdi->EndRun();
  if (ctx.graphics != nullptr) ctx.graphics->EndRun();
  return 1;
}
