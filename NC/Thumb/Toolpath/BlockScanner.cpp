// Block scanner: reads one line, splits comments from the code text and sets
// modes and dialect votes from whole-word keywords in the code text.
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "AddressLetters.h"
#include "LowestBit.h"
#include "NcPathContext.h"

namespace {

constexpr int kMaxLineBytes = 255;  // a line this long or longer is not interpreted

enum class Effect {
  Rapid, Linear, ArcCw, ArcCcw,  // ISO motion: also ends a drilling cycle
  Absolute, Incremental,         // G90, G91
  TncLine, TncCircle, TncCentre, // "L ", "C ", "CC"
  TncRadius, TncTangent,         // "CR", "CT"
  TncPolarLine, TncPolarCircle,  // "LP", "CP"
  TncRound, TncChamfer,          // "RND", "CHF"
  RelativeCentre,                // IX, IY in a CC block
  TurnCcw, TurnCw,               // DR+, DR-
  TncRapid,                      // FMAX, "F MAX", F9999
  Inch, Metric,                  // G20, G21; INCH, the unit a TNC BEGIN PGM line names
  MachineIso, MachineTnc,        // G53 G28 G30; M91 M92 in a TNC move
  TncStructure,                  // CYCL, PLANE: read further by ReadTncStructure
  CallCycle,                     // M99: the defined cycle runs at the block's end point
  TncEvaluation,                 // FN, LBL; M2, M30 after a call: only tells the evaluator
  Cycle                          // drilling cycles
};
enum class Vote { None, Iso, Tnc };

struct Keyword {
  const char* word;
  uint8_t length;
  Effect effect;
  Vote vote;
  bool counts;  // counts as a match in the scanner's result
};

// Every keyword in the order of testing. The ISO group is tested only while
// the program is read as ISO; the TNC group in both dialects; of the
// drilling cycles only the first that matches.
enum KeywordGroup { kIsoFirst = 0, kTncFirst = 15, kTncEvaluationFirst = 37, kCycleFirst = 42, kKeywordCount = 48 };
constexpr Keyword kKeywords[kKeywordCount] = {
    {"G0", 2, Effect::Rapid, Vote::Iso, true},   {"G1", 2, Effect::Linear, Vote::Iso, true},
    {"G2", 2, Effect::ArcCw, Vote::Iso, true},   {"G3", 2, Effect::ArcCcw, Vote::Iso, true},
    {"G00", 3, Effect::Rapid, Vote::Iso, true},  {"G01", 3, Effect::Linear, Vote::Iso, true},
    {"G02", 3, Effect::ArcCw, Vote::Iso, true},  {"G03", 3, Effect::ArcCcw, Vote::Iso, true},
    {"G90", 3, Effect::Absolute, Vote::None, true},
    {"G91", 3, Effect::Incremental, Vote::None, true},
    {"G20", 3, Effect::Inch, Vote::None, true},
    {"G21", 3, Effect::Metric, Vote::None, true},
    // Machine coordinates and the reference returns' intermediate points.
    {"G53", 3, Effect::MachineIso, Vote::None, true},
    {"G28", 3, Effect::MachineIso, Vote::None, true},
    {"G30", 3, Effect::MachineIso, Vote::None, true},

    {"L ", 2, Effect::TncLine, Vote::Tnc, true},
    {"C ", 2, Effect::TncCircle, Vote::Tnc, true},
    {"CC", 2, Effect::TncCentre, Vote::Tnc, true},
    // Before DR+, DR- and FMAX, which pick the direction or make it rapid.
    {"CR", 2, Effect::TncRadius, Vote::Tnc, true},
    {"CT", 2, Effect::TncTangent, Vote::Tnc, true},
    {"LP", 2, Effect::TncPolarLine, Vote::Tnc, true},
    {"CP", 2, Effect::TncPolarCircle, Vote::Tnc, true},
    {"RND", 3, Effect::TncRound, Vote::Tnc, true},
    {"CHF", 3, Effect::TncChamfer, Vote::Tnc, true},
    {"IX", 2, Effect::RelativeCentre, Vote::None, false},
    {"IY", 2, Effect::RelativeCentre, Vote::None, false},
    {"DR+", 3, Effect::TurnCcw, Vote::None, true},
    {"DR-", 3, Effect::TurnCw, Vote::None, true},
    {"FMAX", 4, Effect::TncRapid, Vote::Tnc, true},
    {"F MAX", 5, Effect::TncRapid, Vote::Tnc, true},
    {"F9999", 5, Effect::TncRapid, Vote::Tnc, true},
    {"CYCL", 4, Effect::TncStructure, Vote::Tnc, true},
    {"PLANE", 5, Effect::TncStructure, Vote::Tnc, true},
    // Also the end of an ISO subprogram; it calls nothing there, as no TNC
    // cycle is defined.
    {"M99", 3, Effect::CallCycle, Vote::None, false},
    // After "L " and the other elements, which name the block a TNC move.
    {"M91", 3, Effect::MachineTnc, Vote::None, true},
    {"M92", 3, Effect::MachineTnc, Vote::None, true},
    {"INCH", 4, Effect::Inch, Vote::None, false},
    // Blocks of a TNC program for the evaluator hold one of these or a Q
    // (see SweepCommonLine); the program ends after a call only with the
    // last three (M2, M02, M30).
    {"FN", 2, Effect::TncEvaluation, Vote::None, false},
    {"LBL", 3, Effect::TncEvaluation, Vote::None, false},
    {"M2", 2, Effect::TncEvaluation, Vote::None, false},
    {"M0", 2, Effect::TncEvaluation, Vote::None, false},
    {"M30", 3, Effect::TncEvaluation, Vote::None, false},

    {"G81", 3, Effect::Cycle, Vote::Iso, true}, {"G74", 3, Effect::Cycle, Vote::Iso, true},
    {"G73", 3, Effect::Cycle, Vote::Iso, true}, {"G83", 3, Effect::Cycle, Vote::Iso, true},
    {"G84", 3, Effect::Cycle, Vote::Iso, true}, {"G82", 3, Effect::Cycle, Vote::Iso, true},
};

// The keywords by their first two bytes, so that one sweep over a block's
// code text finds the first occurrence of every keyword while it looks only
// at the keywords that can start at each byte. A keyword is one bit of a
// 64-bit set, in table order.
using KeywordSet = uint64_t;
static_assert(kKeywordCount <= 64, "keyword sets are 64-bit masks");

// The keywords that name a TNC block for the evaluator: FN and LBL, and
// once a call has been made the program's ends.
constexpr KeywordSet TncEvaluationKeywords(bool called) {
  return (KeywordSet{called ? 0x1Fu : 0x3u}) << kTncEvaluationFirst;
}
constexpr bool TncEvaluationRows() {
  for (int k = kTncEvaluationFirst; k < kCycleFirst; ++k)
    if (kKeywords[k].effect != Effect::TncEvaluation) return false;
  return kCycleFirst - kTncEvaluationFirst == 5 && kKeywords[kTncEvaluationFirst].word[0] == 'F' &&
         kKeywords[kTncEvaluationFirst + 1].word[0] == 'L';
}
static_assert(TncEvaluationRows(), "TncEvaluationKeywords follows the keyword table");
constexpr int kMaxLeads = 16;  // distinct first bytes of the keywords
struct KeywordIndex {
  uint8_t lead[256];                 // 0: no keyword starts with the byte; else its row + 1
  KeywordSet byPair[kMaxLeads][256];  // keywords by first byte's row and second byte
  int leadCount;
};
constexpr KeywordIndex IndexKeywords() {
  KeywordIndex index{};
  for (int k = 0; k < kKeywordCount; ++k) {
    const auto first = static_cast<uint8_t>(kKeywords[k].word[0]);
    const auto second = static_cast<uint8_t>(kKeywords[k].word[1]);
    if (index.lead[first] == 0) {
      index.lead[first] = static_cast<uint8_t>(++index.leadCount);
    }
    index.byPair[index.lead[first] - 1][second] |= KeywordSet{1} << k;
  }
  return index;
}
constexpr KeywordIndex kIndex = IndexKeywords();

#if defined(__SSE2__)
// Every keyword starts with one of C D F G I (within C..I), L M, P or R.
constexpr bool IsLeadCandidate(char c) {
  return (c >= 'C' && c <= 'I') || c == 'L' || c == 'M' || c == 'P' || c == 'R';
}
constexpr bool LeadsAreCandidates() {
  for (const Keyword& keyword : kKeywords)
    if (!IsLeadCandidate(keyword.word[0])) return false;
  return true;
}
static_assert(LeadsAreCandidates(), "LeadCandidates must find the first byte of every keyword");

// One bit for every byte of the 16 that may start a keyword: a range and
// two compares instead of one compare for each first byte. The few bytes
// that start none (E, H) are sorted out by the index.
unsigned LeadCandidates(__m128i bytes) {
  const __m128i fromC = _mm_sub_epi8(bytes, _mm_set1_epi8('C'));
  const __m128i cToI = _mm_cmpeq_epi8(_mm_min_epu8(fromC, _mm_set1_epi8('I' - 'C')), fromC);
  const __m128i fromL = _mm_sub_epi8(bytes, _mm_set1_epi8('L'));
  const __m128i lToM = _mm_cmpeq_epi8(_mm_min_epu8(fromL, _mm_set1_epi8(1)), fromL);
  const __m128i p = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('P'));
  const __m128i r = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('R'));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(cToI, _mm_or_si128(lToM, _mm_or_si128(p, r)))));
}
#endif

bool StartsWith(const char* text, const char* word, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] != word[i]) return false;
  return true;
}

bool IsNumberLike(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ',';
}

// Whether the occurrence of `word` at `at` stands as a whole word: a space or
// the text's edge on each side, or a change between number-like and other
// bytes (N10G1 and G1X5 match, G1 in G10 does not). The text holds no NUL.
bool IsWholeWord(const char* text, size_t textLength, const char* at, const char* word,
                 size_t wordLength) {
  const char first = word[0];
  const char last = word[wordLength - 1];
  const bool leftOk = at == text || at[-1] == ' ' || (first == ' ' && wordLength > 1) ||
                      IsNumberLike(first) != IsNumberLike(at[-1]);
  const char after = at + wordLength == text + textLength ? '\0' : at[wordLength];
  const bool rightOk = after == '\0' || after == ' ' || (last == ' ' && wordLength > 1) ||
                       IsNumberLike(last) != IsNumberLike(after);
  return leftOk && rightOk;
}

// Records the keywords that start at code[i] and were not found before.
// code[length] can be read; whatever it holds, no keyword is cut there.
// Most bytes that may start a keyword start none with the byte after them
// (I0.5, R2, F1000): the first lookup settles those before any loop.
void MatchCandidates(const char* code, size_t length, size_t i, KeywordSet candidates,
                     KeywordSet& found, int16_t (&firstAt)[kKeywordCount]);
inline void MatchAt(const char* code, size_t length, size_t i, int lead, KeywordSet& found,
                    int16_t (&firstAt)[kKeywordCount]) {
  const KeywordSet candidates = kIndex.byPair[lead - 1][static_cast<uint8_t>(code[i + 1])] & ~found;
  if (candidates != 0) MatchCandidates(code, length, i, candidates, found, firstAt);
}
void MatchCandidates(const char* code, size_t length, size_t i, KeywordSet candidates,
                     KeywordSet& found, int16_t (&firstAt)[kKeywordCount]) {
  for (; candidates != 0; candidates &= candidates - 1) {
    const int k = LowestBit(candidates);
    const Keyword& keyword = kKeywords[k];
    if (keyword.length <= length - i &&
        StartsWith(code + i + 2, keyword.word + 2, keyword.length - 2u)) {
      firstAt[k] = static_cast<int16_t>(i);
      found |= KeywordSet{1} << k;
    }
  }
}

// First occurrence of every keyword in the code text (-1: none); returns
// the set of keywords found.
KeywordSet FindKeywords(const char* code, size_t length, int16_t (&firstAt)[kKeywordCount]) {
  KeywordSet found = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: most bytes of a block (digits, axis letters,
  // spaces) start no keyword.
  for (; i + 16 <= length; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(code + i));
    for (KeywordSet mask = LeadCandidates(bytes); mask != 0; mask &= mask - 1) {
      const size_t at = i + static_cast<size_t>(LowestBit(mask));
      const int lead = kIndex.lead[static_cast<uint8_t>(code[at])];
      if (lead != 0) MatchAt(code, length, at, lead, found, firstAt);
    }
  }
#endif
  for (; i < length; ++i) {
    const int lead = kIndex.lead[static_cast<uint8_t>(code[i])];
    if (lead != 0) MatchAt(code, length, i, lead, found, firstAt);
  }
  return found;
}

#if defined(__SSE2__)
// Bytes the common line holds none of: those that open a comment in either
// dialect ("(", ";", "*" of a TNC structure line), a NUL and lower-case
// letters, which ISO programs read as capitals.
unsigned StopBits(__m128i bytes) {
  const __m128i fromA = _mm_sub_epi8(bytes, _mm_set1_epi8('a'));
  const __m128i lower = _mm_cmpeq_epi8(_mm_min_epu8(fromA, _mm_set1_epi8('z' - 'a')), fromA);
  const __m128i comments = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('(')),
                                        _mm_cmpeq_epi8(bytes, _mm_set1_epi8(';')));
  const __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('*')),
                                     _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(comments, marks), lower)));
}

// The common line lies whole in the reader's buffer, short enough to be a
// block, without a comment, a NUL byte or a lower-case letter. One sweep
// over it, sixteen bytes at a time, finds its newline, marks its address
// letters for the word reader and finds its keywords (FindKeywords on the line itself); `length`
// receives the length of its code text, without CR-LF. False for any other
// line, which the general way then reads.
// In a TNC program (`tnc`), `parameter` tells whether the line holds a Q,
// as every block for the evaluator does that holds none of its keywords.
bool SweepCommonLine(const StreamReader& reader, BlockLine& line, size_t& length,
                     KeywordSet& found, int16_t (&firstAt)[kKeywordCount], bool tnc,
                     bool& parameter) {
  parameter = false;
  const StreamReader::Line unread = reader.Unread();
  const size_t window = unread.length < BlockLine::kLimit ? unread.length : BlockLine::kLimit;
  const char* const text = reinterpret_cast<const char*>(unread.bytes);
  found = 0;
  size_t group = 0;
  for (size_t i = 0; i < window; i += 16, ++group) {
    // The reader's padding allows loading 16 bytes from any unread byte.
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const unsigned valid = window - i >= 16 ? 0xFFFFu : (1u << (window - i)) - 1u;
    const unsigned newline =
        valid & static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
    // The line's bytes among the 16: those before its newline.
    const unsigned own = newline != 0 ? (newline & (0u - newline)) - 1u : valid;
    if ((StopBits(bytes) & own) != 0) return false;
    // The line holds no small letter (those stop the sweep).
    if (tnc) parameter |= (static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('Q')))) & own) != 0;
    line.letters[group] = static_cast<uint16_t>(AddressLetterBits(bytes) & own);
    // No keyword holds a CR or a newline, so none runs past the line's end
    // and the window may stand for the line's length.
    for (KeywordSet mask = LeadCandidates(bytes) & own; mask != 0; mask &= mask - 1) {
      const size_t at = i + static_cast<size_t>(LowestBit(mask));
      const int lead = kIndex.lead[static_cast<uint8_t>(text[at])];
      if (lead != 0) MatchAt(text, window, at, lead, found, firstAt);
    }
    if (newline != 0) {
      const size_t end = i + static_cast<size_t>(LowestBit(newline));
      line.bytes = unread.bytes;
      line.length = end + 1;
      line.groups = group + 1;
      length = end > 0 && text[end - 1] == '\r' ? end - 1 : end;
      return length < kMaxLineBytes;
    }
  }
  return false;
}
#endif

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
    // A motion ends a drilling cycle, but not one made modal by MCALL.
    case Effect::Rapid: SetModes(ctx, true, false, false, false); ctx.modeCycle = ctx.modalCall; break;
    case Effect::Linear: SetModes(ctx, false, true, false, false); ctx.modeCycle = ctx.modalCall; break;
    case Effect::ArcCw: SetModes(ctx, false, false, true, false); ctx.modeCycle = ctx.modalCall; break;
    case Effect::ArcCcw: SetModes(ctx, false, false, false, true); ctx.modeCycle = ctx.modalCall; break;
    case Effect::Absolute:
    case Effect::Incremental:
      for (bool& flag : ctx.incremental) flag = k.effect == Effect::Incremental;
      ctx.centerRelI = ctx.centerRelJ = true;  // ISO I and J are always offsets
      break;
    case Effect::TncLine:
      SetModes(ctx, false, true, false, false);
      ctx.tncBlock = TNC_LINE;
      break;
    case Effect::TncCircle:
      SetModes(ctx, false, false, true, true);  // DR+ or DR- picks one
      ctx.tncBlock = TNC_CIRCLE;
      break;
    case Effect::TncCentre:
      SetModes(ctx, false, false, false, false);
      ctx.ccBlock = true;
      ctx.centerRelI = ctx.centerRelJ = false;
      ctx.tncBlock = TNC_CENTRE;
      break;
    case Effect::TncRadius:
      SetModes(ctx, false, false, true, true);
      ctx.tncBlock = TNC_RADIUS;
      break;
    case Effect::TncTangent:  // the element before decides the direction
      SetModes(ctx, false, true, false, false);
      ctx.tncBlock = TNC_TANGENT;
      break;
    case Effect::TncPolarLine:
      SetModes(ctx, false, true, false, false);
      ctx.tncBlock = TNC_POLAR_LINE;
      break;
    case Effect::TncPolarCircle:
      SetModes(ctx, false, false, true, true);
      ctx.tncBlock = TNC_POLAR_CIRCLE;
      break;
    case Effect::TncRound:
    case Effect::TncChamfer:  // no move of its own: the driver shapes the corner
      SetModes(ctx, false, false, false, false);
      ctx.tncBlock = k.effect == Effect::TncRound ? TNC_ROUND : TNC_CHAMFER;
      break;
    // IX and IY make a CC centre relative; in a move block they are
    // incremental coordinates, which the word reader handles.
    case Effect::RelativeCentre:
      if (ctx.tncBlock == TNC_CENTRE) ctx.centerRelI = ctx.centerRelJ = true;
      break;
    case Effect::TurnCcw: ctx.modeRapid = ctx.modeLinear = ctx.modeArcCw = false; break;
    case Effect::TurnCw: ctx.modeRapid = ctx.modeLinear = ctx.modeArcCcw = false; break;
    case Effect::TncRapid: SetModes(ctx, true, false, false, false); break;
    case Effect::Inch: ctx.inchProgram = true; break;
    case Effect::Metric: ctx.inchProgram = false; break;
    case Effect::MachineIso: ctx.machineBlock = true; break;
    // M91 and M92 are machine positions only in a TNC move.
    case Effect::MachineTnc: ctx.machineBlock = ctx.machineBlock || ctx.tncBlock != TNC_NONE; break;
    case Effect::TncStructure: break;  // ApplyKeywords reads the rest of the block
    case Effect::CallCycle: ctx.callsCycle = true; break;
    case Effect::TncEvaluation: break;
    case Effect::Cycle: SetModes(ctx, false, false, false, false); ctx.modeCycle = true; break;
  }
  if (k.vote == Vote::Iso) AddVote(ctx.isoHits);
  if (k.vote == Vote::Tnc) AddVote(ctx.tncHits);
}

// Keywords in table order; each match applies at once, so later ones win.
int ApplyKeywords(NcPathContext& ctx, const char* code, size_t length, KeywordSet found,
                  const int16_t (&firstAt)[kKeywordCount]) {
  if (ctx.isTnc != 0) found &= ~((KeywordSet{1} << kTncFirst) - 1);  // the ISO group only in ISO
  int matches = 0;
  bool structure = false;
  for (; found != 0; found &= found - 1) {
    const int k = LowestBit(found);
    const Keyword& keyword = kKeywords[k];
    if (!IsWholeWord(code, length, code + firstAt[k], keyword.word, keyword.length)) continue;
    ApplyKeyword(ctx, keyword);
    matches += keyword.counts;
    structure |= keyword.effect == Effect::TncStructure;
    if (k >= kCycleFirst) break;  // one drilling cycle is enough
  }
  if (structure) ReadTncStructure(ctx, code, length);
  // M99 alone calls the cycle where the tool stands.
  if (ctx.callsCycle && ctx.cycleMarks && ctx.tncBlock == TNC_NONE) ctx.tncBlock = TNC_CYCLE_CALL_POS;
  // "C " without DR+ or DR- has both arc modes: it is a straight move.
  if (ctx.modeArcCw && ctx.modeArcCcw) SetModes(ctx, false, true, false, false);
  return matches;
}

// The commonest block names one ISO motion and no other keyword (N7 G1 X5):
// applied here as ApplyKeywords would, without its loop. The motions are
// the first eight keywords, G0 to G3 and G00 to G03.
constexpr KeywordSet kMotions = (KeywordSet{1} << 8) - 1;
constexpr bool MotionsInOrder() {
  for (int k = 0; k < 8; ++k) {
    const Effect modes[] = {Effect::Rapid, Effect::Linear, Effect::ArcCw, Effect::ArcCcw};
    if (kKeywords[k].effect != modes[k % 4] || kKeywords[k].vote != Vote::Iso || !kKeywords[k].counts)
      return false;
  }
  return true;
}
static_assert(MotionsInOrder(), "the one-motion shortcut follows the keyword table");

// What ApplyKeyword does for motion 0 to 3 (G0 to G3).
void ApplyMotion(NcPathContext& ctx, int motion) {
  SetModes(ctx, motion == 0, motion == 1, motion == 2, motion == 3);
  ctx.modeCycle = ctx.modalCall;
  AddVote(ctx.isoHits);
}

bool ApplyOneMotion(NcPathContext& ctx, const char* code, size_t length, KeywordSet found,
                    const int16_t (&firstAt)[kKeywordCount]) {
  if (ctx.isTnc != 0 || (found & (found - 1)) != 0 || (found & kMotions) == 0) return false;
  const int k = LowestBit(found);
  const Keyword& keyword = kKeywords[k];
  if (!IsWholeWord(code, length, code + firstAt[k], keyword.word, keyword.length)) return false;
  ApplyMotion(ctx, k % 4);
  return true;
}

}  // namespace

bool MatchWord(const char* text, const char* word) {
  if (text == nullptr || word == nullptr || *text == '\0' || *word == '\0') return false;
  // Only the first occurrence is examined: G1 in "G17 G1" is no match.
  const char* at = std::strstr(text, word);
  return at != nullptr && IsWholeWord(text, std::strlen(text), at, word, std::strlen(word));
}

namespace {
int ScanOtherBlock(NcPathContext& ctx, StreamReader& reader, BlockLine& line);

// A block of a parametric program: the evaluator runs it and moves the
// reader on; its keywords are those of its code with the values written out.
int ScanEvaluatedBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                       BlockLine& line) {
  char keywords[kKeywordTextSize];
  const size_t n = EvaluateBlock(ctx, reader, code, length, line.length, line, keywords);
  if (n == 0) return 0;
  if (ctx.eval.tncProgram) {
    // A TNC block comes back as its text with the values written in: the
    // word reader reads that text as it reads the program's own lines.
    std::memcpy(line.text, keywords, n);
    line.text[n] = '\n';
    std::memset(line.text + n + 1, 0, BlockLine::kTextPadding);
    line.bytes = line.text;
    line.length = n + 1;
    line.plainWords = -1;
    line.rewritten = true;
    FindAddressLetters(line, ctx.isTnc == 0);
  }
  int16_t firstAt[kKeywordCount];
  const KeywordSet found = FindKeywords(keywords, n, firstAt);
  if (ApplyOneMotion(ctx, keywords, n, found, firstAt)) return 1;
  return ApplyKeywords(ctx, keywords, n, found, firstAt);
}
}  // namespace

int ScanBlock(NcPathContext& ctx, StreamReader& reader) {
  BlockLine line;
  return ScanBlock(ctx, reader, line);
}

int ScanBlock(NcPathContext& ctx, StreamReader& reader, BlockLine& line) {
  int motion = -1;
  if (ctx.isTnc == 0 && ReadPlainBlock(reader.Unread(), line, motion)) {
    // Its one keyword, if any, is the motion, applied as ApplyOneMotion
    // would; without one, ApplyKeywords would change nothing either.
    ctx.tncBlock = TNC_NONE;
    ctx.machineBlock = false;
    ctx.hasComment = false;
    if (motion < 0) return 0;
    ApplyMotion(ctx, motion);
    return 1;
  }
  line.plainWords = -1;
  line.rewritten = false;
  return ScanOtherBlock(ctx, reader, line);
}

namespace {

// Every block but the plain ones. Kept out of ScanBlock, whose plain blocks
// then need none of its room on the stack.
[[gnu::noinline]] int ScanOtherBlock(NcPathContext& ctx, StreamReader& reader, BlockLine& line) {
  static_assert(BlockLine::kLimit == kMaxLineBytes + 2, "the longest block, its CR-LF and one more");
  int16_t firstAt[kKeywordCount];
  KeywordSet found = 0;
  size_t length = 0;
#if defined(__SSE2__)
  bool parameter = false;
  const bool tnc = ctx.eval.tncProgram;
  if (SweepCommonLine(reader, line, length, found, firstAt, tnc, parameter)) {
    // The code text is the line itself.
    ctx.tncBlock = TNC_NONE;  // a keyword names it
    ctx.machineBlock = false;
    ctx.callsCycle = false;
    ctx.hasComment = false;
    if (length == 0) return 0;
    const char* const text = reinterpret_cast<const char*>(line.bytes);
    if ((!tnc || parameter || (found & TncEvaluationKeywords(ctx.eval.called)) != 0) &&
        NeedsEvaluation(ctx.eval, text, length))
      return ScanEvaluatedBlock(ctx, reader, text, length, line);
    if (ApplyOneMotion(ctx, text, length, found, firstAt)) return 1;
    return ApplyKeywords(ctx, text, length, found, firstAt);
  }
#endif

  // The reader stays at the block's first byte: the word reader reads the
  // same line again.
  const StreamReader::Line bytes = reader.PeekLine(BlockLine::kLimit);
  line.bytes = bytes.bytes;
  line.length = bytes.length;
  line.groups = 0;
  if (line.length == 0) return -1;
  ctx.tncBlock = TNC_NONE;  // a keyword below names it
  ctx.machineBlock = false;
  ctx.callsCycle = false;

  // The line's own bytes: without its newline, and without a carriage
  // return right before it (CR-LF ends a line like LF).
  length = line.length;
  if (line.bytes[length - 1] == '\n') --length;
  const bool lineEnds = length < line.length || length == reader.Remaining();
  if (lineEnds && length > 0 && line.bytes[length - 1] == '\r') --length;
  if (length >= kMaxLineBytes) {
    reader.Skip(kMaxLineBytes);
    return -2;
  }
  const bool iso = ctx.isTnc == 0;

  // ISO: "(" to its ")" (or the line end), and ";" to the line end; TNC
  // and Sinumerik, whose brackets are expressions: ";" to the line end.
  const bool sinumerik = ctx.eval.sinumerik;
  const bool brackets = iso && !sinumerik;
  const char open = brackets ? '(' : ';';
  const int close = brackets ? ')' : -1;
  char code[kMaxLineBytes];
  size_t codeLength = 0;
  int commentLength = 0;
  bool inside = false;
  // Everything before the first comment is code text. ISO keywords are
  // read without regard to case: a lower-case g is a G.
  const uint8_t* firstOpen = static_cast<const uint8_t*>(std::memchr(line.bytes, open, length));
  if (iso) {
    const size_t before = firstOpen ? static_cast<size_t>(firstOpen - line.bytes) : length;
    const void* semicolon = std::memchr(line.bytes, ';', before);
    if (semicolon) firstOpen = static_cast<const uint8_t*>(semicolon);
  }
  const size_t plain = firstOpen ? static_cast<size_t>(firstOpen - line.bytes) : length;
  std::memcpy(code, line.bytes, plain);
  codeLength = plain;
  if (iso) {
    for (size_t i = 0; i < plain; ++i)
      if (code[i] == 'g') code[i] = 'G';
  }
  for (size_t i = plain; i < length; ++i) {
    const char b = static_cast<char>(line.bytes[i]);
    if (iso && !inside && b == ';') {
      // The rest of the line, unless nothing but blanks follows: then the
      // semicolon only ends the block.
      size_t text = i + 1;
      while (text < length && (line.bytes[text] == ' ' || line.bytes[text] == '\t')) ++text;
      if (text == length) break;
      for (; i < length; ++i, ++commentLength) {
        if (commentLength < COMMENT_SIZE - 1)
          ctx.commentText[commentLength] = static_cast<char>(line.bytes[i]);
      }
      break;
    }
    if (b == open || inside) {
      if (commentLength < COMMENT_SIZE - 1) ctx.commentText[commentLength] = b;
      ++commentLength;
      inside = true;
    } else {
      code[codeLength++] = iso && b == 'g' ? 'G' : b;
    }
    if (b == close) inside = false;
  }
  ctx.hasComment = commentLength > 0;
  if (ctx.hasComment) {
    ctx.commentText[commentLength < COMMENT_SIZE - 1 ? commentLength : COMMENT_SIZE - 1] = '\0';
  }
  code[codeLength] = '\0';

  // A NUL byte ends the code text, as it would end a C string.
  codeLength = std::strlen(code);
  if (ctx.eval.tncProgram) {
    // A TNC program's statements are the line up to ";" in both passes,
    // though the first reads the program as ISO until the votes are in.
    const char* const raw = reinterpret_cast<const char*>(line.bytes);
    const void* semicolon = std::memchr(raw, ';', length);
    size_t tncLength = semicolon ? static_cast<size_t>(static_cast<const char*>(semicolon) - raw) : length;
    const void* nul = std::memchr(raw, '\0', tncLength);
    if (nul) tncLength = static_cast<size_t>(static_cast<const char*>(nul) - raw);
    if (tncLength > 0 && NeedsEvaluation(ctx.eval, raw, tncLength))
      return ScanEvaluatedBlock(ctx, reader, raw, tncLength, line);
  } else if (codeLength > 0 && NeedsEvaluation(ctx.eval, code, codeLength)) {
    // The block told the Sinumerik dialect: its brackets are no comment.
    if (ctx.eval.sinumerik && !sinumerik && commentLength > 0) return ScanOtherBlock(ctx, reader, line);
    return ScanEvaluatedBlock(ctx, reader, code, codeLength, line);
  }
  // The word reader reads the line itself at the letters found here.
  FindAddressLetters(line, iso);
  if (codeLength == 0) return 0;
  found = FindKeywords(code, codeLength, firstAt);
  if (ApplyOneMotion(ctx, code, codeLength, found, firstAt)) return 1;
  return ApplyKeywords(ctx, code, codeLength, found, firstAt);
}

}  // namespace
