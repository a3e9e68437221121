// TNC blocks that shape what the following moves mean without moving the
// tool themselves: cycle definitions (which cycle a CYCL CALL runs, datum
// shifts, tilted working planes) and the working plane of PLANE blocks.
// They are read from the block's code text, comments removed.
#include <cstring>

#include "NcPathContext.h"

namespace {

// What CYCL CALL does after a cycle definition, by its number.
enum class CycleUse {
  MarksPosition,  // drilling, boring, tapping, pockets: a drilling point where it is called
  ActsAtOnce,     // effective at its definition (datum shift, plane, dwell): calls stay as they were
  Other           // called, but not at a point: contour pockets, program calls
};

CycleUse UseOfCycle(int cycle) {
  switch (cycle) {
    // Drilling and pocket cycles of the older numbering: pecking, tapping,
    // slot and pocket milling, circular pocket, rigid tapping, thread cutting.
    case 1: case 2: case 3: case 4: case 5: case 17: case 18:
      return CycleUse::MarksPosition;
    // Datum shift, mirror, dwell, rotation, scaling, spindle orientation,
    // contour geometry, working plane, axis scaling, tolerance, datum setting.
    case 7: case 8: case 9: case 10: case 11: case 13: case 14: case 19: case 26: case 32:
    case 247:
      return CycleUse::ActsAtOnce;
    default:
      break;
  }
  // Drilling, reaming, boring, tapping, centring, single-lip drilling;
  // pockets, slots and studs.
  if ((cycle >= 200 && cycle <= 209) || cycle == 240 || cycle == 241 ||
      (cycle >= 251 && cycle <= 257))
    return CycleUse::MarksPosition;
  return CycleUse::Other;
}

const char* SkipSpaces(const char* p, const char* end) {
  while (p < end && *p == ' ') ++p;
  return p;
}

// The word at p, followed by a space or the text's end.
const char* AfterWord(const char* p, const char* end, const char* word) {
  const size_t n = std::strlen(word);
  if (static_cast<size_t>(end - p) < n || std::memcmp(p, word, n) != 0) return nullptr;
  if (p + n < end && p[n] != ' ') return nullptr;
  return p + n;
}

// A cycle number, "200" or "7.1": its whole part and the part after the point
// (-1 when there is none). False without a digit.
bool ReadCycleNumber(const char*& p, const char* end, int& whole, int& part) {
  whole = 0;
  part = -1;
  int digits = 0;
  for (; p < end && *p >= '0' && *p <= '9' && digits < 6; ++p, ++digits) whole = whole * 10 + (*p - '0');
  if (digits == 0) return false;
  if (p + 1 < end && *p == '.' && p[1] >= '0' && p[1] <= '9') {
    part = 0;
    for (++p; p < end && *p >= '0' && *p <= '9' && part < 100000; ++p) part = part * 10 + (*p - '0');
  }
  return true;
}

// The value after `at`, read as coordinates are; false without a number.
bool ValueAt(const char* at, const char* end, double& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(at);
  return ReadNumber(p, reinterpret_cast<const uint8_t*>(end), value);
}

// A line of a datum shift: each axis word shifts that axis, absolute or
// with I before the letter added to the shift so far. Axes it does not name
// keep their shift, so a definition with all values zero cancels the shift.
void ReadDatumShift(NcPathContext& ctx, const char* p, const char* end) {
  for (; p < end; ++p) {
    const int axis = *p == 'X' ? 0 : *p == 'Y' ? 1 : *p == 'Z' ? 2 : -1;
    if (axis < 0) continue;
    double value = 0;
    if (!ValueAt(p + 1, end, value)) continue;
    const bool incremental = p[-1] == 'I';  // p stands past the cycle number
    ctx.datumShift[axis] = incremental ? ctx.datumShift[axis] + value : value;
  }
}

// Whether any angle after a letter of `letters` (each followed by a sign or
// digit) in p..end is other than zero.
bool AnyAngle(const char* p, const char* end, const char* const* names, int count) {
  for (; p < end; ++p) {
    for (int n = 0; n < count; ++n) {
      const size_t length = std::strlen(names[n]);
      if (static_cast<size_t>(end - p) <= length || std::memcmp(p, names[n], length) != 0) continue;
      const char next = p[length];
      if (next != '+' && next != '-' && !(next >= '0' && next <= '9')) continue;
      double value = 0;
      if (ValueAt(p + length, end, value) && value != 0) return true;
    }
  }
  return false;
}

// PLANE ...: the working plane is tilted unless it is reset or every angle
// the block gives is zero. PLANE RELATIV adds to the tilt there is; VECTOR
// and POINTS give a plane by its normal or three points, always taken as
// tilted.
void ReadPlane(NcPathContext& ctx, const char* p, const char* end) {
  static const char* const kAngles[] = {"SPA", "SPB", "SPC", "PROPR", "PROMIN", "PROROT",
                                        "EULPR", "EULNU", "EULROT", "A", "B", "C"};
  p = SkipSpaces(p, end);
  if (AfterWord(p, end, "RESET")) {
    ctx.planeTilted = false;
  } else if (AfterWord(p, end, "VECTOR") || AfterWord(p, end, "POINTS")) {
    ctx.planeTilted = true;
  } else if (AfterWord(p, end, "RELATIV")) {
    ctx.planeTilted = ctx.planeTilted || AnyAngle(p, end, kAngles, 12);
  } else {
    ctx.planeTilted = AnyAngle(p, end, kAngles, 12);
  }
}

}  // namespace

bool ReadTncStructure(NcPathContext& ctx, const char* code, size_t length) {
  const char* const end = code + length;
  const char* plane = nullptr;
  const char* cycle = nullptr;
  for (const char* p = code; p + 4 <= end && !plane && !cycle; ++p) {
    if (p > code && p[-1] != ' ' && !(p[-1] >= '0' && p[-1] <= '9')) continue;
    if (const char* after = AfterWord(p, end, "PLANE")) plane = after;
    if (const char* after = AfterWord(p, end, "CYCL")) cycle = after;
  }
  if (plane) {
    ReadPlane(ctx, plane, end);
    ctx.tncBlock = TNC_STRUCTURE;
    return true;
  }
  if (!cycle) return false;
  const char* p = SkipSpaces(cycle, end);
  if (const char* call = AfterWord(p, end, "CALL")) {
    p = SkipSpaces(call, end);
    // CYCL CALL POS X.. Y..: the tool goes there and the cycle runs there.
    ctx.tncBlock = AfterWord(p, end, "POS") ? TNC_CYCLE_CALL_POS : TNC_CYCLE_CALL;
    return true;
  }
  const char* def = AfterWord(p, end, "DEF");
  if (!def) return false;
  ctx.tncBlock = TNC_STRUCTURE;  // its words are cycle parameters, not a position
  p = SkipSpaces(def, end);
  int number = 0, part = -1;
  if (!ReadCycleNumber(p, end, number, part)) return true;
  if (number == 7 && part > 0) {
    ReadDatumShift(ctx, p, end);
  } else if (number == 19 && part == 1) {
    static const char* const kAxes[] = {"A", "B", "C"};
    ctx.planeTilted = AnyAngle(p, end, kAxes, 3);
  } else if (part <= 0) {  // the definition's first line names the cycle
    switch (UseOfCycle(number)) {
      case CycleUse::MarksPosition: ctx.cycleMarks = true; break;
      case CycleUse::Other: ctx.cycleMarks = false; break;
      case CycleUse::ActsAtOnce: break;
    }
  }
  return true;
}
