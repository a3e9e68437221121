// Address-word reader: stores X Y Z I J K R of one block, applies incremental
// coordinates, the TNC circle centre and the lathe axis mapping, and counts
// the Y and Z letters from which the drawing plane is decided.
#include <cstring>

#include "AddressLetters.h"
#include "LowestBit.h"
#include "NcPathContext.h"

namespace {

constexpr int kMaxNumberChars = 10;

constexpr int SlotOfLetter(int b) {
  switch (b) {
    case 'X': return SLOT_X;
    case 'Y': return SLOT_Y;
    case 'Z': return SLOT_Z;
    case 'I': return SLOT_I;
    case 'J': return SLOT_J;
    case 'K': return SLOT_K;
    case 'R': return SLOT_R;
    default: return SLOT_NONE;
  }
}

// The same as a table: the word reader looks up every byte of a line.
struct SlotTable {
  uint8_t slot[256];
};
// Lower-case letters have the slot of their capital: ISO programs are read
// without regard to case (only ISO lines mark them as letters).
constexpr SlotTable MakeSlotTable() {
  SlotTable table{};
  for (int b = 0; b < 256; ++b)
    table.slot[b] = static_cast<uint8_t>(SlotOfLetter(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b));
  return table;
}
constexpr SlotTable kSlots = MakeSlotTable();
constexpr bool SlotsAreAddressLetters() {
  for (int b = 0; b < 256; ++b)
    if (IsAddressLetter(static_cast<uint8_t>(b)) != (SlotOfLetter(b) != SLOT_NONE)) return false;
  for (int b = 0; b < 256; ++b)
    if (IsAddressLetter(static_cast<uint8_t>(b & 0xDF)) != (kSlots.slot[b] != SLOT_NONE))
      return false;
  return true;
}
static_assert(SlotsAreAddressLetters(), "the letters marked are the letters with a slot");

// Turning programs: Z runs across, the radius (half of X) upwards, and the
// centre offsets K and I follow their axes.
void MapLatheAxes(int& slot, double& value) {
  switch (slot) {
    case SLOT_Z: slot = SLOT_X; break;
    case SLOT_X: slot = SLOT_Y; value *= 0.5; break;
    case SLOT_K: slot = SLOT_I; break;
    case SLOT_I: slot = SLOT_J; break;
    default: break;
  }
}

// Stores one word; returns whether it counts as stored. A repeated value
// counts when `repeatCounts`: the word means something even unchanged.
bool StoreWord(NcPathContext& ctx, int slot, double value, bool incremental, bool repeatCounts) {
  double& word = ctx.words[slot];
  if (incremental) {
    // An incremental move is always a move, even by 0.
    word = (word == NOT_GIVEN ? 0.0 : word) + value;
  } else if (word != value) {
    word = value;
  } else if (!repeatCounts) {
    return false;  // an unchanged absolute value is no new word
  }
  ctx.wordGiven[slot] = true;
  return true;
}

// Words that count even when their value is unchanged: the end point of an
// arc (an arc back to its start is a full circle, as TNC programs write
// one), and ISO centre offsets, which belong to the block that states them.
bool RepeatCounts(const NcPathContext& ctx, int slot) {
  if ((slot == SLOT_X || slot == SLOT_Y) && (ctx.modeArcCw || ctx.modeArcCcw)) return true;
  return ctx.isTnc == 0 && (slot == SLOT_I || slot == SLOT_J);
}

// Powers of ten by the number of digits after the point; all exact.
constexpr double kTens[kMaxNumberChars + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5,
                                               1e6, 1e7, 1e8, 1e9, 1e10};
// Their reciprocals, each the double nearest to it.
constexpr double kTenths[kMaxNumberChars + 1] = {1e0,  1e-1, 1e-2, 1e-3, 1e-4, 1e-5,
                                                 1e-6, 1e-7, 1e-8, 1e-9, 1e-10};

// digits / 10^fractionDigits as the control stores it: the quotient rounded
// to double, then to float. digits has at most 10 decimal digits. Multiplying
// by the reciprocal is several times quicker than dividing and lands within
// 3 units in the last place of the rounded quotient, so rounding it to float
// gives the same float unless it lies near the middle between two floats:
// when the 29 low bits that a float drops are near 1 followed by 28 zeros.
// There the division decides.
double ScaledNumber(uint64_t digits, int fractionDigits) {
  const double whole = static_cast<double>(digits);
  const double product = whole * kTenths[fractionDigits];
  uint64_t bits = 0;
  std::memcpy(&bits, &product, sizeof bits);
  constexpr uint64_t kHalfway = uint64_t{1} << 28;  // of the 29 dropped bits
  constexpr uint64_t kNear = 16;                    // units in the last place
  const uint64_t dropped = bits & ((kHalfway << 1) - 1);
  const double quotient = dropped - (kHalfway - kNear) <= 2 * kNear ? whole / kTens[fractionDigits] : product;
  return static_cast<double>(static_cast<float>(quotient));
}

constexpr bool IsDigit(uint8_t b) { return static_cast<unsigned>(b) - '0' <= 9u; }
// Bytes the number reader takes or passes over.
constexpr bool IsNumberByte(uint8_t b) {
  return IsDigit(b) || b == '.' || b == ',' || b == '-' || b == ' ' || b == '+';
}

// The common form, [-]digits[.digits] followed by spaces at most and then a
// byte that ends the number, in one tight sweep. False, with nothing moved,
// for anything else: ReadNumber then reads it the general way.
bool ReadPlainNumber(const uint8_t*& at, const uint8_t* end, double& value) {
  const uint8_t* p = at;
  const bool negative = p < end && *p == '-';
  p += negative;
  uint64_t digits = 0;  // unsigned: a run of 20 digits wraps instead of overflowing
  int count = 0, fractionDigits = 0;
  for (; p < end && IsDigit(*p); ++p, ++count) digits = digits * 10 + (*p - '0');
  const bool point = p < end && *p == '.';
  if (point) {
    for (++p; p < end && IsDigit(*p); ++p, ++fractionDigits) digits = digits * 10 + (*p - '0');
  }
  const int taken = negative + count + point + fractionDigits;
  if (count + fractionDigits == 0 || taken > kMaxNumberChars) return false;
  if (taken < kMaxNumberChars) {
    // The general reader goes on over spaces and "+" while it may take more.
    while (p < end && *p == ' ') ++p;
    if (p < end && IsNumberByte(*p)) return false;
  }
  const double parsed = ScaledNumber(digits, fractionDigits);
  value = negative ? -parsed : parsed;
  at = p;
  return true;
}

// ReadNumber past the plain form: every odd case, byte by byte.
bool ReadOtherNumber(const uint8_t*& at, const uint8_t* end, double& value) {
  int taken = 0;
  int digitCount = 0, fractionDigits = 0;
  bool negative = false, point = false, inPrefix = true;
  // At most 10 digits: the integer and its conversion to double are exact.
  int64_t digits = 0;
  // Stops on the byte that ends the number without taking it, so the caller
  // examines that byte next: X10Y5 reads Y after the 10.
  for (; at < end && taken < kMaxNumberChars; ++at) {
    const uint8_t b = *at;
    const unsigned digit = static_cast<unsigned>(b) - '0';
    if (digit <= 9) {  // the common byte first
      ++taken;
      if (!inPrefix) continue;
      digits = digits * 10 + digit;
      fractionDigits += point;
      ++digitCount;
      continue;
    }
    if (b == ' ' || b == '+') continue;
    const bool isPoint = b == '.' || b == ',';
    if (!isPoint && b != '-') break;
    ++taken;
    if (!inPrefix) continue;  // taken, but past the value's prefix
    if (isPoint && !point) {
      point = true;
    } else if (b == '-' && taken == 1) {
      negative = true;
    } else {
      inPrefix = false;
    }
  }
  if (taken == 0) return false;
  // The control keeps coordinates in single precision.
  const double parsed = digitCount == 0 ? 0.0 : ScaledNumber(static_cast<uint64_t>(digits), fractionDigits);
  value = negative && digitCount > 0 ? -parsed : parsed;
  return true;
}

#if defined(__SSE2__)
// Bytes the number reader takes or passes over, as a table.
struct ByteTable {
  bool is[256];
};
constexpr ByteTable MakeNumberBytes() {
  ByteTable table{};
  for (int b = 0; b < 256; ++b) table.is[b] = IsNumberByte(static_cast<uint8_t>(b));
  return table;
}
constexpr ByteTable kNumberBytes = MakeNumberBytes();

// The integer of the n digits (at most 8) in the low bytes of `v`, as an x86
// loads them from memory (the first byte lowest). The digits are moved to the
// top, the zero bytes below them are leading zeros, and pairs, quads and
// octets are combined in three multiplications.
uint64_t EightDigits(uint64_t v, unsigned n) {
  const unsigned half = 32 - 4 * n;  // two shifts: a shift by all 64 bits is undefined
  v = v << half << half;
  v = ((v & 0x0F0F0F0F0F0F0F0Full) * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
  return ((v & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
}

// ReadPlainNumber for a number in a line of the reader's buffer, whose
// padding allows loading 16 bytes at `at`: the digits, the point and the
// spaces after the number are found in one load, and a number of up to 8
// digits and point is gathered in one 64-bit word instead of byte by byte.
// False, with nothing moved, where ReadPlainNumber would be false or where
// the spaces run on past the 16 bytes.
bool ReadPlainNumberInLine(const uint8_t*& at, const uint8_t* end, double& value) {
  const uint8_t* const p = at;
  const size_t available = static_cast<size_t>(end - p);
  if (available == 0) return false;
  // Bits for bytes past the line are cleared: the number ends there.
  const unsigned valid = available >= 16 ? 0xFFFFu : (1u << available) - 1u;
  const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i fromZero = _mm_sub_epi8(group, _mm_set1_epi8('0'));
  const unsigned digitBits = valid & static_cast<unsigned>(_mm_movemask_epi8(
                                         _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero)));
  const unsigned pointBits =
      valid & static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, _mm_set1_epi8('.'))));
  // The length of the run of set bits from bit `from` (at most 17).
  const auto run = [](unsigned bits, unsigned from) {
    return static_cast<unsigned>(__builtin_ctz(~(bits >> from)));
  };
  const unsigned negative = p[0] == '-' ? 1u : 0u;
  const unsigned count = run(digitBits, negative);
  const unsigned point = (pointBits >> (negative + count)) & 1u;
  const unsigned fractionDigits = point != 0 ? run(digitBits, negative + count + 1) : 0u;
  const unsigned taken = negative + count + point + fractionDigits;
  if (count + fractionDigits == 0 || taken > kMaxNumberChars) return false;
  unsigned pos = taken;
  if (taken < kMaxNumberChars) {
    // The general reader goes on over spaces and "+" while it may take more.
    const unsigned spaces =
        valid & static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, _mm_set1_epi8(' '))));
    pos += run(spaces, pos);
    if (pos >= 16 && available > 16) return false;
    if (pos < available && kNumberBytes.is[p[pos]]) return false;
  }
  uint64_t digits = 0;
  if (taken - negative <= 8) {
    uint64_t bytes = 0;
    std::memcpy(&bytes, p + negative, sizeof bytes);
    // The point's byte is dropped: the fraction's digits move down onto it.
    // A count of 8 leaves no room for a point, and its mask of 0 keeps all.
    const uint64_t whole = (uint64_t{1} << (8 * (count & 7u))) - 1u;
    bytes = (bytes & whole) | ((bytes >> (8 * point)) & ~whole);
    digits = EightDigits(bytes, count + fractionDigits);
  } else {
    for (unsigned i = negative; i < negative + count; ++i) digits = digits * 10 + (p[i] - '0');
    for (unsigned i = negative + count + point; i < taken; ++i) digits = digits * 10 + (p[i] - '0');
  }
  const double parsed = ScaledNumber(digits, fractionDigits);
  value = negative ? -parsed : parsed;
  at = p + pos;
  return true;
}
#endif

// ReadNumber for a number in a line of the reader's buffer.
bool ReadNumberInLine(const uint8_t*& at, const uint8_t* end, double& value) {
#if defined(__SSE2__)
  if (ReadPlainNumberInLine(at, end, value)) return true;
#else
  if (ReadPlainNumber(at, end, value)) return true;
#endif
  return ReadOtherNumber(at, end, value);
}

// Length of the run of digits at `p`, in a line of the reader's buffer
// whose CR or newline ends every run. Byte by byte: the branches are
// predicted, where a run found from a 16-byte load would hold up the next.
size_t DigitRun(const uint8_t* p) {
  size_t run = 0;
  while (IsDigit(p[run])) ++run;
  return run;
}

// ReadPlainNumber at bytes[at], in a line that ends with a CR or a newline
// (see DigitRun). `at` moves past the number and the spaces after it. The
// line's end stops every run, so none of ReadPlainNumber's bound checks is
// needed: without them plain straight moves read about 8 % faster.
bool ReadSimpleNumber(const uint8_t* bytes, size_t& at, double& value) {
  const uint8_t* p = bytes + at;
  const bool negative = *p == '-';
  p += negative;
  uint64_t digits = 0;  // unsigned: a long run of digits wraps, and is refused below
  const uint8_t* const first = p;
  for (; IsDigit(*p); ++p) digits = digits * 10 + (*p - '0');
  const size_t count = static_cast<size_t>(p - first);
  const bool point = *p == '.';
  p += point;
  const uint8_t* const fraction = p;
  if (point) {
    for (; IsDigit(*p); ++p) digits = digits * 10 + (*p - '0');
  }
  const size_t fractionDigits = static_cast<size_t>(p - fraction);
  const size_t taken = negative + count + point + fractionDigits;
  if (count + fractionDigits == 0 || taken > kMaxNumberChars) return false;
  if (taken < kMaxNumberChars) {
    // The general reader goes on over spaces and "+" while it may take more.
    while (*p == ' ') ++p;
    if (IsNumberByte(*p)) return false;
  }
  const double parsed = ScaledNumber(digits, static_cast<int>(fractionDigits));
  value = negative ? -parsed : parsed;
  at = static_cast<size_t>(p - bytes);
  return true;
}

// Stores the number read after the address letter `slot`; `before` is the
// byte before the letter. Returns whether the word counts as stored.
inline bool StoreAddressWord(NcPathContext& ctx, int slot, double value, uint8_t before,
                             bool xyPlane, bool centreBlock, bool tncMove, uint16_t mode = 0) {
  // A TNC datum shift moves every absolute coordinate of a move or centre;
  // IX, IY and IZ go from the position, which has moved with it.
  if ((tncMove || centreBlock) && slot <= SLOT_Z && before != 'I')
    value += ctx.datumShift[slot - SLOT_X];
  if (!xyPlane) MapLatheAxes(slot, value);
  bool incremental = false;
  if (centreBlock && (slot == SLOT_X || slot == SLOT_Y)) {
    // CC X+25 Y+25: the circle centre, always absolute.
    slot = slot == SLOT_X ? SLOT_I : SLOT_J;
    ctx.tncCentreGiven = true;
  } else if (slot <= SLOT_Z) {
    incremental = ctx.incremental[slot - SLOT_X] || (tncMove && before == 'I');
    if (mode != 0) incremental = mode == kWordIncremental;
  }
  const bool stored = StoreWord(ctx, slot, value, incremental, RepeatCounts(ctx, slot));
  // An ISO radius always counts as given, so that an arc repeats its radius.
  if (ctx.isTnc == 0 && slot == SLOT_R) ctx.wordGiven[SLOT_R] = true;
  return stored;
}

// TNC words outside the address slots: PR/PA (IPR/IPA incremental) of the
// polar moves and the length of a chamfer, CHF L.. or CHF ... Every block
// clears them; only blocks that use them are searched.
void ClearTncWords(NcPathContext& ctx) {
  ctx.polarRadius = ctx.polarAngle = ctx.chamferLength = NOT_GIVEN;
  ctx.polarRadiusInc = ctx.polarAngleInc = false;
}
void ReadTncWords(NcPathContext& ctx, const uint8_t* at, const uint8_t* end) {
  ClearTncWords(ctx);
  const bool polar = ctx.tncBlock == TNC_POLAR_LINE || ctx.tncBlock == TNC_POLAR_CIRCLE;
  if (!polar && ctx.tncBlock != TNC_CHAMFER) return;
  for (const uint8_t* p = at; p + 1 < end; ++p) {
    double value = 0.0;
    if (polar && p[0] == 'P' && (p[1] == 'R' || p[1] == 'A')) {
      const bool incremental = p > at && p[-1] == 'I';
      const uint8_t* number = p + 2;
      if (!ReadNumber(number, end, value)) continue;
      (p[1] == 'R' ? ctx.polarRadius : ctx.polarAngle) = value;
      (p[1] == 'R' ? ctx.polarRadiusInc : ctx.polarAngleInc) = incremental;
    } else if (!polar && end - p > 3 && p[0] == 'C' && p[1] == 'H' && p[2] == 'F') {
      const uint8_t* number = p + 3;
      while (number < end && *number == ' ') ++number;
      if (number < end && *number == 'L') ++number;
      if (ReadNumber(number, end, value)) ctx.chamferLength = value;
      return;
    }
  }
}

}  // namespace

// Reads the number as the control does: spaces and "+" are skipped anywhere,
// "," is a decimal point, and at most 10 characters of digits, "-" and "."
// are taken. Their value is what atof gives them, the longest prefix of the
// form [-]digits[.digits] (1.2.3 is 1.2, 1-2 is 1, a lone "-" is 0). With at
// most 10 digits the integer is exact and the one division by a power of ten
// rounds as a correct decimal conversion does.
bool ReadNumber(const uint8_t*& at, const uint8_t* end, double& value) {
  if (ReadPlainNumber(at, end, value)) return true;
  return ReadOtherNumber(at, end, value);
}


namespace {

void ClearLetters(BlockLine& line, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    line.letters[i / 16] &= static_cast<uint16_t>(~(1u << (i % 16)));
}

// Letters in comments are no words. ISO: "(" to its ")" (or the line end)
// and ";" to the line end; TNC: ";" to the line end. In either dialect a
// TNC structure line, "*" after the block number, is a comment whole.
void LeaveOutComments(BlockLine& line, bool iso) {
  const uint8_t* const b = line.bytes;
  const size_t n = line.length;
  size_t i = 0;
  while (i < n && b[i] == ' ') ++i;
  while (i < n && IsDigit(b[i])) ++i;
  while (i < n && b[i] == ' ') ++i;
  if (i < n && b[i] == '*') {
    ClearLetters(line, 0, n);
    return;
  }
  bool inside = false;
  for (i = 0; i < n; ++i) {
    if (b[i] == ';' && !inside) {
      ClearLetters(line, i, n);
      return;
    }
    if (!iso) continue;
    if (b[i] == '(') inside = true;
    if (inside) ClearLetters(line, i, i + 1);
    if (b[i] == ')') inside = false;
  }
}

}  // namespace

void FindAddressLetters(BlockLine& line, bool iso) {
  line.groups = (line.length + 15) / 16;
  // Clearing the bit that makes a capital leaves the capitals as they are
  // and makes x of X, y of Y, ...: ISO letters of either case are words.
  const uint8_t caseMask = iso ? 0xDF : 0xFF;
  for (size_t group = 0; group < line.groups; ++group) {
    const uint8_t* const bytes = line.bytes + group * 16;
    const size_t count = line.length - group * 16;
#if defined(__SSE2__)
    // The reader's padding allows loading 16 bytes from any byte of the line.
    const unsigned valid = count >= 16 ? 0xFFFFu : (1u << count) - 1u;
    const __m128i group16 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                                          _mm_set1_epi8(static_cast<char>(caseMask)));
    const unsigned letters = AddressLetterBits(group16) & valid;
#else
    unsigned letters = 0;
    for (size_t i = 0; i < 16 && i < count; ++i)
      letters |= (IsAddressLetter(bytes[i] & caseMask) ? 1u : 0u) << i;
#endif
    line.letters[group] = static_cast<uint16_t>(letters);
  }
  for (size_t i = 0; i < line.length; ++i) {
    const uint8_t b = line.bytes[i];
    if (b == ';' || b == '*' || (iso && b == '(')) {
      LeaveOutComments(line, iso);
      return;
    }
  }
}

namespace {

int ReadLineWords(NcPathContext& ctx, StreamReader& reader, const BlockLine& line, bool xyPlane);

// ReadAddressWords for a plain block, whose words the scanner has read: an
// ISO block that names no TNC element, so no word is a TNC polar or chamfer
// word and no letter is an incremental TNC coordinate.
int StorePlainWords(NcPathContext& ctx, StreamReader& reader, const BlockLine& line, bool xyPlane) {
  for (bool& given : ctx.wordGiven) given = false;
  const bool centreBlock = ctx.ccBlock;
  ctx.ccBlock = false;
  ClearTncWords(ctx);
  ctx.tncCentreGiven = false;
  int stored = 0;
  int lettersY = 0, lettersZ = 0;
  for (int w = 0; w < line.plainWords; ++w) {
    const int slot = line.plainSlots[w];
    lettersY += slot == SLOT_Y;
    lettersZ += slot == SLOT_Z;
    const auto mode = static_cast<uint16_t>(line.wordModes >> (2 * w) & 3u);
    stored += StoreAddressWord(ctx, slot, line.plainValues[w], 0, xyPlane, centreBlock, false, mode);
  }
  ctx.countY += lettersY;
  ctx.countZ += lettersZ;
  reader.Skip(line.length);  // the line with its newline
  return stored;
}

}  // namespace

int ReadAddressWords(NcPathContext& ctx, StreamReader& reader, bool xyPlane) {
  const StreamReader::Line bytes = reader.PeekLine(BlockLine::kLimit);
  BlockLine line;
  line.bytes = bytes.bytes;
  line.length = bytes.length;
  FindAddressLetters(line, ctx.isTnc == 0);
  return ReadAddressWords(ctx, reader, line, xyPlane);
}

int ReadAddressWords(NcPathContext& ctx, StreamReader& reader, const BlockLine& line,
                     bool xyPlane) {
  if (line.plainWords >= 0) return StorePlainWords(ctx, reader, line, xyPlane);
  return ReadLineWords(ctx, reader, line, xyPlane);
}

namespace {

// Every block but the plain ones: the words at the letters of the line.
// Kept out of ReadAddressWords, whose plain blocks then need none of its
// registers and room on the stack.
[[gnu::noinline]] int ReadLineWords(NcPathContext& ctx, StreamReader& reader, const BlockLine& line,
                                    bool xyPlane) {
  for (bool& given : ctx.wordGiven) given = false;
  const bool centreBlock = ctx.ccBlock;
  ctx.ccBlock = false;
  if (line.length == 0) return -1;
  const uint8_t* const end = line.bytes + line.length;
  if (ctx.tncBlock == TNC_STRUCTURE) {
    // A cycle definition or working plane: its words are no position.
    ClearTncWords(ctx);
    if (!line.rewritten) {
      reader.Skip(line.length);
      if (line.bytes[line.length - 1] != '\n') reader.SkipLine();
    }
    return 0;
  }

  ReadTncWords(ctx, line.bytes, end);
  ctx.tncCentreGiven = false;
  // In a TNC move block IX, IY and IZ are incremental coordinates.
  const bool tncMove = ctx.tncBlock != TNC_NONE && ctx.tncBlock != TNC_CENTRE;

  // A number never takes a letter, so the words are read at every letter of
  // the line in turn (the scanner left out the letters in comments). A block
  // in machine coordinates stores none: its positions are no workpiece
  // coordinates. Its letters still count for the plane.
  int stored = 0;
  int lettersY = 0, lettersZ = 0;
  for (size_t group = 0; group < line.groups; ++group) {
    for (unsigned letters = line.letters[group]; letters != 0; letters &= letters - 1) {
      const uint8_t* letter = line.bytes + group * 16 + static_cast<size_t>(LowestBit(letters));
      const uint8_t before = letter > line.bytes ? letter[-1] : 0;
      int slot = kSlots.slot[*letter];
      // DR+/DR- (direction) and PR (polar radius) are no radius words.
      if (slot == SLOT_R && (before == 'D' || before == 'P')) continue;
      lettersY += slot == SLOT_Y;
      lettersZ += slot == SLOT_Z;

      if (ctx.machineBlock) continue;
      double value = 0.0;
      const uint8_t* at = letter + 1;
      if (!ReadNumberInLine(at, end, value)) continue;  // "XY5": the X stores nothing
      stored += StoreAddressWord(ctx, slot, value, before, xyPlane, centreBlock, tncMove);
    }
  }
  // Whole numbers below 2^53 add up exactly, in any grouping.
  ctx.countY += lettersY;
  ctx.countZ += lettersZ;
  if (line.rewritten) return stored;  // the evaluator moved the reader on
  reader.Skip(line.length);
  // A line longer than any block (the scanner skips those) ends here too.
  if (line.bytes[line.length - 1] != '\n') reader.SkipLine();
  return stored;
}

}  // namespace

bool ReadPlainBlock(const StreamReader::Line& unread, BlockLine& line, int& motion) {
  const size_t window = unread.length < BlockLine::kLimit ? unread.length : BlockLine::kLimit;
  const uint8_t* const bytes = unread.bytes;
  const size_t newline = StreamReader::FindNewline(bytes, window);
  if (newline == window) return false;
  // The code text ends at the CR or the newline: every run of digits or
  // spaces below stops there without a bound of its own.
  const size_t length = newline > 0 && bytes[newline - 1] == '\r' ? newline - 1 : newline;
  if (length >= BlockLine::kLimit - 2) return false;  // 255 bytes or more: no block
  motion = -1;
  int words = 0;
  size_t i = 0;
  while (bytes[i] == ' ') ++i;
  while (i < length) {  // every step moves on by a byte or more
    const uint8_t b = bytes[i];
    if (b == 'N' || b == 'G') {
      const size_t digits = DigitRun(bytes + i + 1);
      const size_t next = i + 1 + digits;
      if (digits == 0) return false;
      if (b == 'G') {
        // The block's only keyword, and a whole word: a space or a number
        // stands before it, a space, a letter or the line end after it.
        const uint8_t last = bytes[next - 1];
        if (motion >= 0 || digits > 2 || (digits == 2 && bytes[i + 1] != '0') || last > '3')
          return false;
        motion = last - '0';
      }
      i = next;
    } else {
      // An address letter and its number. None of them follows a D or a P
      // or stands in a TNC move, so the letter alone names the word.
      const uint8_t slot = kSlots.slot[b];
      size_t at = i + 1;
      if (slot == SLOT_NONE || words == BlockLine::kMaxPlainWords ||
          !ReadSimpleNumber(bytes, at, line.plainValues[words]))
        return false;
      line.plainSlots[words++] = slot;
      i = at;
    }
    while (bytes[i] == ' ') ++i;
  }
  line.bytes = bytes;
  line.length = newline + 1;
  line.groups = 0;
  line.plainWords = words;
  line.wordModes = 0;
  return true;
}

int DecidePlane(const NcPathContext& ctx, bool force) {
  if (!force && !(ctx.countY > 20) && !(ctx.countZ > 20)) return -1;
  // No Y and no Z letter at all is no evidence of turning.
  if (ctx.countY == 0) return ctx.countZ == 0 ? 1 : 2;
  return ctx.countY / (ctx.countY + ctx.countZ) * 100 >= 20 ? 1 : 2;
}
