// Block scanner: reads one line, splits comments from the code text and sets
// modes and dialect votes from whole-word keywords in the code text.
#include <climits>
#include <cstring>

#include "NcPathContext.h"

namespace {

constexpr int kMaxLineBytes = 255;  // a line this long or longer is not interpreted

enum class Effect {
  Rapid, Linear, ArcCw, ArcCcw,  // ISO motion: also ends a drilling cycle
  Absolute, Incremental,         // G90, G91
  TncLine, TncCircle, TncCentre, // "L ", "C ", "CC"
  RelativeCentre,                // IX, IY in a CC block
  TurnCcw, TurnCw,               // DR+, DR-
  TncRapid,                      // FMAX, F9999
  Cycle                          // drilling cycles
};
enum class Vote { None, Iso, Tnc };

struct Keyword {
  const char* word;
  Effect effect;
  Vote vote;
  bool counts;  // counts as a match in the scanner's result
};

// ISO group: tested only while the program is read as ISO.
constexpr Keyword kIsoKeywords[] = {
    {"G0", Effect::Rapid, Vote::Iso, true},   {"G1", Effect::Linear, Vote::Iso, true},
    {"G2", Effect::ArcCw, Vote::Iso, true},   {"G3", Effect::ArcCcw, Vote::Iso, true},
    {"G00", Effect::Rapid, Vote::Iso, true},  {"G01", Effect::Linear, Vote::Iso, true},
    {"G02", Effect::ArcCw, Vote::Iso, true},  {"G03", Effect::ArcCcw, Vote::Iso, true},
    {"G90", Effect::Absolute, Vote::None, true}, {"G91", Effect::Incremental, Vote::None, true},
};

// TNC group: tested in both dialects, after the ISO group.
constexpr Keyword kTncKeywords[] = {
    {"L ", Effect::TncLine, Vote::Tnc, true},
    {"C ", Effect::TncCircle, Vote::Tnc, true},
    {"CC", Effect::TncCentre, Vote::Tnc, true},
    {"IX", Effect::RelativeCentre, Vote::None, false},
    {"IY", Effect::RelativeCentre, Vote::None, false},
    {"DR+", Effect::TurnCcw, Vote::None, true},
    {"DR-", Effect::TurnCw, Vote::None, true},
    {"FMAX", Effect::TncRapid, Vote::Tnc, true},
    {"F9999", Effect::TncRapid, Vote::Tnc, true},
};

// Drilling cycles: the first match ends the test.
constexpr Keyword kCycleKeywords[] = {
    {"G81", Effect::Cycle, Vote::Iso, true}, {"G74", Effect::Cycle, Vote::Iso, true},
    {"G73", Effect::Cycle, Vote::Iso, true}, {"G83", Effect::Cycle, Vote::Iso, true},
    {"G84", Effect::Cycle, Vote::Iso, true}, {"G82", Effect::Cycle, Vote::Iso, true},
};

// Which byte values occur in a text, as 256 bits. A keyword can only occur
// in a text that holds every one of its bytes: this skips most searches.
struct ByteSet {
  uint64_t bits[4] = {};
  void Add(unsigned char c) { bits[c >> 6] |= uint64_t{1} << (c & 63); }
  bool Has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1; }
  bool HasAll(const char* word) const {
    for (; *word; ++word)
      if (!Has(static_cast<unsigned char>(*word))) return false;
    return true;
  }
};

bool IsNumberLike(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ',';
}

// First occurrence of `word` in `text`, or null.
const char* FindFirst(const char* text, size_t textLength, const char* word, size_t wordLength) {
  if (wordLength == 0 || wordLength > textLength) return nullptr;
  const char* last = text + (textLength - wordLength);
  for (const char* p = text; p <= last; ++p) {
    p = static_cast<const char*>(std::memchr(p, word[0], static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return nullptr;
    if (std::memcmp(p, word, wordLength) == 0) return p;
  }
  return nullptr;
}

// Whole-word test over a text of known length (text[length] is NUL).
bool MatchWordIn(const char* text, size_t textLength, const char* word) {
  const size_t wordLength = std::strlen(word);
  if (wordLength == 0 || textLength == 0) return false;
  // Only the first occurrence is examined: G1 in "G17 G1" is no match.
  const char* at = FindFirst(text, textLength, word, wordLength);
  if (at == nullptr) return false;

  const char first = word[0];
  const char last = word[wordLength - 1];
  bool leftOk = at == text || at[-1] == ' ' || (first == ' ' && wordLength > 1) ||
                IsNumberLike(first) != IsNumberLike(at[-1]);
  const char after = at[wordLength];
  bool rightOk = after == '\0' || after == ' ' || (last == ' ' && wordLength > 1) ||
                 IsNumberLike(last) != IsNumberLike(after);
  return leftOk && rightOk;
}

void SetModes(NcPathContext& ctx, bool rapid, bool linear, bool cw, bool ccw) {
  ctx.modeRapid = rapid;
  ctx.modeLinear = linear;
  ctx.modeArcCw = cw;
  ctx.modeArcCcw = ccw;
}

void AddVote(int32_t& counter) {
  if (counter < INT32_MAX) ++counter;
}

void ApplyKeyword(NcPathContext& ctx, const Keyword& k) {
  switch (k.effect) {
    case Effect::Rapid: SetModes(ctx, true, false, false, false); ctx.modeCycle = false; break;
    case Effect::Linear: SetModes(ctx, false, true, false, false); ctx.modeCycle = false; break;
    case Effect::ArcCw: SetModes(ctx, false, false, true, false); ctx.modeCycle = false; break;
    case Effect::ArcCcw: SetModes(ctx, false, false, false, true); ctx.modeCycle = false; break;
    case Effect::Absolute:
    case Effect::Incremental:
      for (bool& flag : ctx.incremental) flag = k.effect == Effect::Incremental;
      ctx.centerRelI = ctx.centerRelJ = true;  // ISO I and J are always offsets
      break;
    case Effect::TncLine: SetModes(ctx, false, true, false, false); break;
    case Effect::TncCircle: SetModes(ctx, false, false, true, true); break;  // DR+ or DR- picks one
    case Effect::TncCentre:
      SetModes(ctx, false, false, false, false);
      ctx.ccBlock = true;
      ctx.centerRelI = ctx.centerRelJ = false;
      break;
    case Effect::RelativeCentre: ctx.centerRelI = ctx.centerRelJ = true; break;
    case Effect::TurnCcw: ctx.modeRapid = ctx.modeLinear = ctx.modeArcCw = false; break;
    case Effect::TurnCw: ctx.modeRapid = ctx.modeLinear = ctx.modeArcCcw = false; break;
    case Effect::TncRapid: SetModes(ctx, true, false, false, false); break;
    case Effect::Cycle: SetModes(ctx, false, false, false, false); ctx.modeCycle = true; break;
  }
  if (k.vote == Vote::Iso) AddVote(ctx.isoHits);
  if (k.vote == Vote::Tnc) AddVote(ctx.tncHits);
}

// Tests one keyword; applies it and returns whether it counts as a match.
bool TestKeyword(NcPathContext& ctx, const char* code, size_t length, const ByteSet& present,
                 const Keyword& k, bool& matched) {
  matched = present.HasAll(k.word) && MatchWordIn(code, length, k.word);
  if (matched) ApplyKeyword(ctx, k);
  return matched && k.counts;
}

// Keywords in table order; each match applies at once, so later ones win.
int ApplyKeywords(NcPathContext& ctx, const char* code, size_t length, const ByteSet& present) {
  int matches = 0;
  bool matched = false;
  if (ctx.isTnc == 0) {
    for (const Keyword& k : kIsoKeywords) matches += TestKeyword(ctx, code, length, present, k, matched);
  }
  for (const Keyword& k : kTncKeywords) matches += TestKeyword(ctx, code, length, present, k, matched);
  for (const Keyword& k : kCycleKeywords) {
    matches += TestKeyword(ctx, code, length, present, k, matched);
    if (matched) break;
  }
  // "C " without DR+ or DR- has both arc modes: it is a straight move.
  if (ctx.modeArcCw && ctx.modeArcCcw) SetModes(ctx, false, true, false, false);
  return matches;
}

}  // namespace

bool MatchWord(const char* text, const char* word) {
  if (text == nullptr || word == nullptr) return false;
  return MatchWordIn(text, std::strlen(text), word);
}

int ScanBlock(NcPathContext& ctx, StreamReader& reader) {
  const uint64_t start = reader.Position();
  const char open = ctx.isTnc ? ';' : '(';
  const int close = ctx.isTnc ? -1 : ')';  // a TNC comment runs to the line end

  char code[kMaxLineBytes + 1];
  size_t codeLength = 0;
  int commentLength = 0;
  bool inside = false;
  ByteSet present;
  ctx.hasComment = false;

  for (int count = 0;;) {
    int b = reader.Next();
    if (b < 0) {
      if (count == 0) return -1;
      break;  // the last line needs no newline
    }
    if (b == '\n') break;
    if (b == '\r') {
      // CR-LF ends the line like LF; the CR belongs to neither text.
      int next = reader.Peek();
      if (next == '\n' || next < 0) {
        reader.Next();
        break;
      }
    }
    if (b == open || inside) {
      if (commentLength < COMMENT_SIZE - 1) {
        ctx.commentText[commentLength] = static_cast<char>(b);
        ctx.commentText[commentLength + 1] = '\0';
      }
      ++commentLength;
      ctx.hasComment = true;
      inside = true;
    } else {
      code[codeLength++] = static_cast<char>(b);
      present.Add(static_cast<unsigned char>(b));
    }
    if (b == close) inside = false;
    if (++count >= kMaxLineBytes) return -2;
  }
  code[codeLength] = '\0';
  reader.StepBack(reader.Position() - start);

  // A NUL byte ends the code text, as it would end a C string.
  codeLength = std::strlen(code);
  if (codeLength == 0) return 0;
  return ApplyKeywords(ctx, code, codeLength, present);
}
