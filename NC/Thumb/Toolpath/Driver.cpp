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
  ctx.modeCycle = false;
  ctx.centerRelI = ctx.centerRelJ = true;
  previous = Point{};
}

// Scans the next block; false when the pass must end. Over-long lines are
// skipped whole, so `matches` always belongs to a block that can be read.
bool ScanNextBlock(NcPathContext& ctx, StreamReader& reader) {
  for (;;) {
    if (AtStreamEnd(ctx, reader)) return false;
    const int result = ScanBlock(ctx, reader);
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

// Frames a straight cut: its end and, when the tool's position before it is
// known, its start too, so that a cut after a rapid approach stays inside
// the picture. Every straight move of either dialect is framed here.
void FrameStraightMove(NcPathContext& ctx, const Point& previous, const Point& target) {
  if (IsGiven(previous.h) && IsGiven(previous.v)) AddTargetExtents(ctx, previous);
  AddTargetExtents(ctx, target);
}

// Frames an arc by its bounding box. Nothing derived from a missing word
// enters the extents: an arc without a usable centre frames its end point
// like a straight move.
void FrameArc(NcPathContext& ctx, const Point& previous, const Point& target) {
  if (!IsGiven(previous.h) || !IsGiven(previous.v)) return;
  const bool clockwise = ctx.modeArcCw;
  double ch = 0, cv = 0;
  bool centre = UsesRadius(ctx) &&
                RadiusCentre(previous, target, ctx.words[SLOT_R], clockwise, ch, cv);
  if (!centre && IsGiven(ctx.words[SLOT_I]) && IsGiven(ctx.words[SLOT_J])) {
    ch = ctx.words[SLOT_I] + (ctx.centerRelI ? previous.h : 0.0);
    cv = ctx.words[SLOT_J] + (ctx.centerRelJ ? previous.v : 0.0);
    centre = true;
  }
  if (centre && IsGiven(target.h) && IsGiven(target.v)) {
    AddArcExtents(ctx, ch, cv, previous.h, previous.v, target.h, target.v, clockwise);
  } else {
    AddTargetExtents(ctx, target);
  }
}

// Restart after the plane became XZ: the blocks read so far are framed anew
// in the turning axes. Votes and letter counts run on.
void RestartForTurning(NcPathContext& ctx, StreamReader& reader, Point& previous) {
  StartPass(ctx, reader, previous);
  ctx.maxX = ctx.maxY = EMPTY_MAX;
  ctx.minX = ctx.minY = EMPTY_MIN;
}

void FirstPass(NcPathContext& ctx, StreamReader& reader) {
  Point previous;
  StartPass(ctx, reader, previous);
  while (ScanNextBlock(ctx, reader)) {
    const int n = ReadAddressWords(ctx, reader, ctx.plane != 2);
    if (n == -1) return;
    const Point target{ctx.words[SLOT_X], ctx.words[SLOT_Y]};

    if (ctx.plane != 2 && ctx.modeCycle && IsGiven(target.h) && IsGiven(target.v)) {
      AddPointExtents(ctx, target.h, target.v);
      previous = target;
    }
    if (n == 0) continue;

    if (ctx.wordGiven[SLOT_X] || ctx.wordGiven[SLOT_Y] || ctx.wordGiven[SLOT_I] ||
        ctx.wordGiven[SLOT_J]) {
      if (ctx.plane == -1) {
        ctx.plane = DecidePlane(ctx, false);
        if (ctx.plane == 2) {
          RestartForTurning(ctx, reader, previous);
          continue;
        }
      }
      if (ctx.modeLinear) FrameStraightMove(ctx, previous, target);  // rapid moves frame nothing
      if (ctx.modeArcCw || ctx.modeArcCcw) FrameArc(ctx, previous, target);
      if (ctx.modeCycle) AddPointExtents(ctx, target.h, target.v);
      previous = target;
    }

    if (ctx.plane == -1 && reader.Remaining() < kFewBytesLeft) {
      ctx.plane = DecidePlane(ctx, true);
      if (ctx.plane == 2) {
        RestartForTurning(ctx, reader, previous);
      } else {
        ctx.plane = 1;
      }
    }
  }
}

void FitBetweenPasses(NcPathContext& ctx) {
  FitToView(ctx.minX, ctx.maxX, ctx.minY, ctx.maxY, ctx.canvasWidth, ctx.canvasHeight, ctx.scale,
            ctx.offsetX, ctx.offsetY);
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
  while (ScanNextBlock(ctx, reader)) {
    CaptureComment(ctx);
    // An ISO straight move ends the arc centre; a TNC centre stays for the
    // next "C " block even over straight moves, as the first pass frames it.
    if (ctx.isTnc == 0 && (ctx.modeRapid || ctx.modeLinear)) {
      ctx.words[SLOT_I] = ctx.words[SLOT_J] = NOT_GIVEN;
    }
    const int n = ReadAddressWords(ctx, reader, ctx.plane != 2);
    Point target{ctx.words[SLOT_X], ctx.words[SLOT_Y]};

    if (ctx.plane == 1 && ctx.modeCycle && IsGiven(target.h) && IsGiven(target.v)) {
      previous = target;
      DrawMarker(ctx, target.h, target.v);
    }
    if (n == -1) return;
    if (n == 0) continue;
    if (!ctx.wordGiven[SLOT_X] && !ctx.wordGiven[SLOT_Y] && !ctx.wordGiven[SLOT_I] &&
        !ctx.wordGiven[SLOT_J] && !ctx.wordGiven[SLOT_R])
      continue;
    if (!ctx.wordGiven[SLOT_X] && !ctx.wordGiven[SLOT_Y]) previous = target;

    if (ctx.modeLinear) {
      DrawLine(ctx, previous.h, previous.v, target.h, target.v);
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
    previous = target;  // a rapid move only moves the tool
  }
}

}  // namespace

bool AtStreamEnd(NcPathContext& ctx, StreamReader& reader) {
  ctx.streamSizeKnown = true;
  ctx.streamSize = reader.Size();
  return reader.AtEnd();
}

int DrawToolpath(NcPathContext& ctx, ByteSource& source) {
  // The reader's buffer lives here, so a run allocates nothing.
  uint8_t buffer[kChunkSize];
  StreamReader reader(source, buffer, sizeof buffer);

  FirstPass(ctx, reader);
  FitBetweenPasses(ctx);
  SecondPass(ctx, reader);

  if (ctx.gdiPenSelected && ctx.gdi != nullptr) ctx.gdi->EndRun();
  if (ctx.graphics != nullptr) ctx.graphics->EndRun();
  return 1;
}
