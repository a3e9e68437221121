// Address-word reader: stores X Y Z I J K R of one block, applies incremental
// coordinates, the TNC circle centre and the lathe axis mapping, and counts
// the Y and Z letters from which the drawing plane is decided.
#include "NcPathContext.h"

namespace {

constexpr int kMaxNumberChars = 10;
// A block the scanner accepts has at most 254 bytes and its line end; every
// loop over a block's bytes stops well within this.
constexpr int kMaxBlockBytes = 260;

int SlotOfLetter(int b) {
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

// What atof makes of a text of digits, "-" and ".": the longest prefix of the
// form [-]digits[.digits]. At most 10 characters, so the digits form an
// integer below 2^53 and the division by a power of ten rounds once, exactly
// as a correct decimal conversion does.
double ConvertNumberText(const char* text, int length) {
  int i = 0;
  bool negative = false;
  if (i < length && text[i] == '-') {
    negative = true;
    ++i;
  }
  double digits = 0.0;
  double divisor = 1.0;
  bool point = false;
  for (; i < length; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = digits * 10.0 + (c - '0');
      if (point) divisor *= 10.0;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  const double value = digits / divisor;
  return negative ? -value : value;
}

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

// Stores one word; returns whether it counts as stored.
bool StoreWord(NcPathContext& ctx, int slot, double value, bool incremental) {
  double& word = ctx.words[slot];
  if (incremental) {
    // An incremental move is always a move, even by 0.
    word = (word == NOT_GIVEN ? 0.0 : word) + value;
  } else if (word != value) {
    word = value;
  } else {
    return false;  // an unchanged absolute value is no new word
  }
  ctx.wordGiven[slot] = true;
  return true;
}

}  // namespace

bool ReadNumber(NcPathContext&, StreamReader& reader, double& value) {
  char text[kMaxNumberChars + 1];
  int length = 0;
  // The reader stops on the byte that ends the number without taking it, so
  // the caller examines that byte next: X10Y5 reads Y after the 10.
  for (int n = 0; n < kMaxBlockBytes && length < kMaxNumberChars; ++n) {
    const int b = reader.Peek();
    if (b == ' ' || b == '+') {
      reader.Next();  // skipped anywhere in the number: "X 1 0" is 10
      continue;
    }
    if (b == ',') {
      text[length++] = '.';
    } else if ((b >= '0' && b <= '9') || b == '-' || b == '.') {
      text[length++] = static_cast<char>(b);
    } else {
      break;
    }
    reader.Next();
  }
  if (length == 0) return false;
  text[length] = '\0';
  // The control keeps coordinates in single precision.
  value = static_cast<double>(static_cast<float>(ConvertNumberText(text, length)));
  return true;
}

int ReadAddressWords(NcPathContext& ctx, StreamReader& reader, bool xyPlane) {
  for (bool& given : ctx.wordGiven) given = false;
  const bool centreBlock = ctx.ccBlock;
  ctx.ccBlock = false;

  int stored = 0;
  for (int examined = 0; examined < kMaxBlockBytes; ++examined) {
    const int b = reader.Next();
    if (b < 0) return examined == 0 ? -1 : stored;  // the last line needs no newline
    if (b == '\n') return stored;

    // Letters inside comments are read too: "(MAX 10)" sets X.
    int slot = SlotOfLetter(b);
    if (slot == SLOT_NONE) continue;
    if (slot == SLOT_Y) ctx.countY += 1;
    if (slot == SLOT_Z) ctx.countZ += 1;

    double value = 0.0;
    if (!ReadNumber(ctx, reader, value)) continue;  // "XY5": the X stores nothing
    if (!xyPlane) MapLatheAxes(slot, value);

    bool incremental = false;
    if (centreBlock && (slot == SLOT_X || slot == SLOT_Y)) {
      // CC X+25 Y+25: the circle centre, always absolute.
      slot = slot == SLOT_X ? SLOT_I : SLOT_J;
    } else if (slot <= SLOT_Z) {
      incremental = ctx.incremental[slot - SLOT_X];
    }
    if (StoreWord(ctx, slot, value, incremental)) ++stored;
    // An ISO radius always counts as given, so that an arc repeats its radius.
    if (ctx.isTnc == 0 && slot == SLOT_R) ctx.wordGiven[SLOT_R] = true;
  }
  return stored;
}

int DecidePlane(const NcPathContext& ctx, bool force) {
  if (!force && !(ctx.countY > 20) && !(ctx.countZ > 20)) return -1;
  if (ctx.countY == 0) return 2;
  return ctx.countY / (ctx.countY + ctx.countZ) * 100 >= 20 ? 1 : 2;
}
