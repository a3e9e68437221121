// Program flow of parametric programs: block heads (labels and o-words),
// the searches for jump targets with a cache of the targets found, the call
// stack and the open loops. Every search reads lines against the pass's
// block budget, so no program can make a pass run on.
#include <cstring>

#include "NcPathContext.h"
#include "TextChars.h"

namespace {

// Digits as an integer (at most 18 of them count).
bool ReadInteger(const char*& at, const char* end, uint64_t& value) {
  const char* p = at;
  value = 0;
  for (int n = 0; p < end && IsDigit(*p); ++p, ++n)
    if (n < 18) value = value * 10 + static_cast<uint64_t>(*p - '0');
  if (p == at) return false;
  at = p;
  return true;
}

// An o-word's name, o<pocket>: hashed without case and spaces, with the top
// bit set so that it never equals a number.
uint64_t NameKey(const char* name, const char* end) {
  uint64_t hash = 1469598103934665603ull;
  for (; name < end; ++name)
    if (*name != ' ' && *name != '\t') hash = (hash ^ static_cast<uint8_t>(Upper(*name))) * 1099511628211ull;
  return hash | (uint64_t{1} << 63);
}

FlowWord OWordKeyword(const char* at, const char* end, size_t& length) {
  return FindFlowWord(PackedRun(at, end, length), Dialect::IsoOWord);
}

// ---- The cache of jump targets ---------------------------------------------------
// A target is found by its label and the place a search starts from (a
// program's start, or the block a loop or branch skips from): the same
// question always has the same answer, since the file does not change.

uint64_t CacheSlot(uint64_t key, uint64_t scope) {
  uint64_t h = (key ^ (scope * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
  return (h >> 32) % kLabelCacheSize;
}

// Keys of the kinds of label, kept apart by their top byte.
uint64_t Key(uint8_t kind, uint64_t value) { return (uint64_t{kind} << 56) ^ value; }

bool CachedTarget(const Evaluation& eval, uint64_t key, uint64_t scope, uint64_t& at) {
  const LabelEntry& e = eval.labels[CacheSlot(key, scope)];
  if (e.key != key || e.scope != scope) return false;
  at = e.at;
  return true;
}

void CacheTarget(Evaluation& eval, uint64_t key, uint64_t scope, uint64_t at) {
  LabelEntry& e = eval.labels[CacheSlot(key, scope)];  // a collision replaces the older
  e.key = key;
  e.scope = scope;
  e.at = at;
}

// The line at the reader as text, without CR-LF; false when none is left.
bool NextLine(StreamReader& reader, const char*& text, const char*& end, size_t& length) {
  const StreamReader::Line line = reader.PeekLine(BlockLine::kLimit);
  if (line.length == 0) return false;
  text = reinterpret_cast<const char*>(line.bytes);
  length = line.length;
  size_t n = line.length;
  if (line.bytes[n - 1] == '\n') --n;
  if (n > 0 && line.bytes[n - 1] == '\r') --n;
  end = text + n;
  return true;
}

void SkipPastLine(StreamReader& reader, const char* text, size_t length) {
  reader.Skip(length);
  if (text[length - 1] != '\n') reader.SkipLine();  // longer than any block
}

// Reads the lines from `from` up to `until` until `match` accepts one.
// Returns its position, or kNowhere (also when the budget runs out).
template <typename Match>
uint64_t Search(NcPathContext& ctx, StreamReader& reader, uint64_t from, uint64_t until, Match match) {
  reader.Seek(from);
  while (reader.Position() < until) {
    const uint64_t at = reader.Position();
    const char* text = nullptr;
    const char* end = nullptr;
    size_t length = 0;
    if (!NextLine(reader, text, end, length) || !SpendBlocks(ctx.eval, 1)) return kNowhere;
    BlockHead head;
    ReadHead(text, end, head);
    const int verdict = match(head, end);  // 1 found, -1 stop here, 0 on
    if (verdict > 0) return at;
    if (verdict < 0) return kNowhere;
    SkipPastLine(reader, text, length);
  }
  return kNowhere;
}

// END m at the start of a block's statement.
bool IsLoopEnd(const BlockHead& head, const char* end, uint64_t m) {
  const char* p = head.rest;
  if (head.oKey != 0 || end - p < 3 || Upper(p[0]) != 'E' || Upper(p[1]) != 'N' || Upper(p[2]) != 'D')
    return false;
  p += 3;
  if (p < end && IsLetter(*p)) return false;
  SkipSpaces(p, end);
  uint64_t n = 0;
  return ReadInteger(p, end, n) && n == m;
}

}  // namespace

void ReadHead(const char* text, const char* end, BlockHead& head) {
  head = BlockHead{};
  const char* p = text;
  SkipSpaces(p, end);
  if (p < end && *p == '/') {  // block delete: the block runs all the same
    ++p;
    if (p < end && IsDigit(*p)) ++p;
    SkipSpaces(p, end);
  }
  if (p < end && Upper(*p) == 'N' && p + 1 < end && IsDigit(p[1])) {
    ++p;
    head.hasNumber = ReadInteger(p, end, head.number);
    while (p < end && (IsDigit(*p) || *p == '.')) ++p;
    SkipSpaces(p, end);
  }
  head.rest = p;
  if (p + 1 >= end) return;
  const bool colon = *p == ':';
  if (!colon && Upper(*p) != 'O') return;
  const char* q = p + 1;
  uint64_t key = 0;
  bool numbered = false;
  if (q < end && *q == kIsoMarks.nameOpen && !colon) {
    const char* name = ++q;
    while (q < end && *q != kIsoMarks.nameClose) ++q;
    if (q == end) return;
    key = NameKey(name, q);
    ++q;
  } else {
    SkipSpaces(q, end);
    if (!ReadInteger(q, end, key)) return;
    numbered = true;
  }
  SkipSpaces(q, end);
  size_t length = 0;
  const FlowWord word = colon ? FlowWord::None : OWordKeyword(q, end, length);
  if (word != FlowWord::None) {
    head.oKey = key | (uint64_t{1} << 62);  // never 0
    head.oWord = word;
    head.rest = q + length;
  } else if (numbered) {
    head.hasProgram = true;
    head.program = key;
    head.rest = q;
  }
}

void ResetEvaluation(Evaluation& eval) {
  eval.counting = false;
  eval.called = false;
  eval.tncProgram = false;
  eval.blocksLeft = kBlockBudget;
  eval.programAt = 0;
  eval.branchKey = 0;
  eval.depth = 0;
  eval.loopCount = 0;
  eval.used = false;  // the tables are cleared at the pass's first evaluated block
}

void ClearCompiled(Evaluation& eval) {
  if (!eval.compiledKept) return;
  eval.compiledKept = false;
  for (CompiledExpression& compiled : eval.expressions.slot) compiled.steps = 0;
}

uint64_t FindNumberLabel(NcPathContext& ctx, StreamReader& reader, uint64_t n, uint64_t blockAt,
                         uint64_t from) {
  Evaluation& eval = ctx.eval;
  const uint64_t key = Key('N', n);
  uint64_t at = kNowhere;
  if (CachedTarget(eval, key, eval.programAt, at)) return at;
  const auto label = [n](const BlockHead& head, const char*) {
    if (head.hasProgram) return -1;  // the next program begins
    return head.hasNumber && head.number == n ? 1 : 0;
  };
  at = Search(ctx, reader, from, reader.Size(), label);
  if (at == kNowhere && eval.blocksLeft > 0) {
    at = Search(ctx, reader, eval.programAt, blockAt + 1, [n](const BlockHead& head, const char*) {
      return head.hasNumber && head.number == n ? 1 : 0;
    });
  }
  if (eval.blocksLeft > 0) CacheTarget(eval, key, eval.programAt, at);
  return at;
}

uint64_t FindProgram(NcPathContext& ctx, StreamReader& reader, uint64_t n) {
  Evaluation& eval = ctx.eval;
  const uint64_t key = Key('O', n);
  uint64_t at = kNowhere;
  if (CachedTarget(eval, key, 0, at)) return at;
  at = Search(ctx, reader, 0, reader.Size(), [n](const BlockHead& head, const char*) {
    return head.hasProgram && head.program == n ? 1 : 0;
  });
  if (eval.blocksLeft > 0) CacheTarget(eval, key, 0, at);
  return at;
}

uint64_t FindOWord(NcPathContext& ctx, StreamReader& reader, uint64_t key, uint64_t words,
                   uint64_t from) {
  Evaluation& eval = ctx.eval;
  const uint64_t cacheKey = Key('o', key ^ (words << 40));
  uint64_t at = kNowhere;
  if (CachedTarget(eval, cacheKey, from, at)) return at;
  at = Search(ctx, reader, from, reader.Size(), [key, words](const BlockHead& head, const char*) {
    return head.oKey == key && (words & Bit(head.oWord)) != 0 ? 1 : 0;
  });
  if (eval.blocksLeft > 0) CacheTarget(eval, cacheKey, from, at);
  return at;
}

uint64_t FindLoopEnd(NcPathContext& ctx, StreamReader& reader, uint64_t m, uint64_t from) {
  Evaluation& eval = ctx.eval;
  const uint64_t key = Key('E', m);
  uint64_t at = kNowhere;
  if (CachedTarget(eval, key, from, at)) return at;
  at = Search(ctx, reader, from, reader.Size(), [m](const BlockHead& head, const char* end) {
    return IsLoopEnd(head, end, m) ? 1 : 0;
  });
  if (eval.blocksLeft > 0) CacheTarget(eval, key, from, at);
  return at;
}

bool ReadTncLabel(const char*& at, const char* end, uint64_t& key) {
  const char* p = at;
  SkipSpaces(p, end);
  if (p < end && *p == '"') {
    const char* name = ++p;
    while (p < end && *p != '"') ++p;
    if (p == end) return false;
    key = NameKey(name, p);
    at = p + 1;
    return true;
  }
  uint64_t n = 0;
  if (!ReadInteger(p, end, n)) return false;
  key = TncLabelKey(n);
  at = p;
  return true;
}

uint64_t FindTncLabel(NcPathContext& ctx, StreamReader& reader, uint64_t key) {
  Evaluation& eval = ctx.eval;
  const uint64_t cacheKey = Key('L', key);
  uint64_t at = kNowhere;
  if (CachedTarget(eval, cacheKey, 0, at)) return at;
  at = Search(ctx, reader, 0, reader.Size(), [key](const BlockHead& head, const char* end) {
    const char* p = head.rest;  // after spaces: the block number, LBL and the label
    while (p < end && IsDigit(*p)) ++p;
    SkipSpaces(p, end);
    size_t length = 0;
    if (FindFlowWord(PackedRun(p, end, length), Dialect::Tnc) != FlowWord::Label) return 0;
    p += length;
    uint64_t found = 0;
    return ReadTncLabel(p, end, found) && found == key ? 1 : 0;
  });
  if (at != kNowhere) {
    // The search stopped at the label's line: its blocks start after it.
    const char* text = nullptr;
    const char* end = nullptr;
    size_t length = 0;
    if (NextLine(reader, text, end, length)) SkipPastLine(reader, text, length);
    at = reader.Position();
  }
  if (eval.blocksLeft > 0) CacheTarget(eval, cacheKey, 0, at);
  return at;
}

bool PushCall(Evaluation& eval, const CallFrame& frame, bool freshLocals) {
  if (eval.depth == kMaxCallDepth) return false;
  CallFrame& f = eval.calls[eval.depth++];
  f = frame;
  f.callerFrame = eval.vars.frame;
  f.loopBase = eval.loopCount;
  f.programAt = eval.programAt;
  if (!frame.section) EnterLocals(eval.vars, freshLocals);
  eval.called = true;
  return true;
}

uint64_t ReturnFromCall(Evaluation& eval) {
  CallFrame& f = eval.calls[eval.depth - 1];
  eval.loopCount = f.loopBase;  // loops left open in the body end with it
  if (f.repeats > 1) {
    --f.repeats;
    return f.bodyAt;
  }
  if (!f.section) LeaveLocals(eval.vars, f.callerFrame);
  eval.programAt = f.programAt;
  --eval.depth;
  return f.returnAt;
}

LoopRecord* FindLoop(Evaluation& eval, LoopKind kind, uint64_t key) {
  for (int k = eval.loopCount - 1; k >= 0 && eval.loops[k].level == eval.depth; --k) {
    if (eval.loops[k].kind == kind && eval.loops[k].key == key) return &eval.loops[k];
  }
  return nullptr;
}

LoopRecord* FindAnyLoop(Evaluation& eval, uint64_t key) {
  for (int k = eval.loopCount - 1; k >= 0 && eval.loops[k].level == eval.depth; --k) {
    if (eval.loops[k].key == key) return &eval.loops[k];
  }
  return nullptr;
}

bool OpenLoop(Evaluation& eval, LoopKind kind, uint64_t key, uint64_t at, uint32_t count) {
  LoopRecord* record = FindLoop(eval, kind, key);
  if (record != nullptr) {
    // Back at a loop's head: the loops opened inside it are over.
    eval.loopCount = static_cast<int>(record - eval.loops) + 1;
  } else {
    if (eval.loopCount == kMaxLoops) return false;
    record = &eval.loops[eval.loopCount++];
    record->kind = kind;
    record->key = key;
    record->level = eval.depth;
  }
  record->at = at;
  record->count = count;
  return true;
}

void CloseLoop(Evaluation& eval, const LoopRecord* record) {
  if (record != nullptr) eval.loopCount = static_cast<int>(record - eval.loops);
}

// ---- Sinumerik: block heads, labels and structures ------------------------------

namespace {

bool SkipNumber(const char*& p, const char* end, SinumerikHead& head) {
  if (p + 1 >= end || !(Upper(*p) == 'N' || *p == ':') || !IsDigit(p[1])) return false;
  ++p;
  head.hasNumber = ReadInteger(p, end, head.number);
  while (p < end && (IsDigit(*p) || *p == '.')) ++p;
  SkipSpaces(p, end);
  return true;
}

bool SkipLabel(const char*& p, const char* end, SinumerikHead& head) {
  size_t n = 0;
  PackedName(p, end, n);
  if (n == 0 || p + n >= end || p[n] != ':') return false;
  head.label = LabelKey(p, n);
  p += n + 1;
  SkipSpaces(p, end);
  return true;
}

// A block IF with a jump (IF R1>5 GOTOF END) opens no structure.
bool HoldsJump(const char* p, const char* end) {
  while (p < end && *p != ';') {
    size_t n = 0;
    const uint64_t word = PackedName(p, end, n);
    if (n == 0) {
      ++p;
      continue;
    }
    const FlowWord w = FindFlowWord(word, Dialect::Sinumerik);
    if (IsJump(w)) return true;
    p += n;
  }
  return false;
}

// +1 for a block that opens a structure, -1 for one that closes one.
int Nesting(const SinumerikHead& head, const char* end) {
  switch (head.word) {
    case FlowWord::If: return HoldsJump(head.after, end) ? 0 : 1;
    case FlowWord::While:
    case FlowWord::For:
    case FlowWord::Loop: return 1;
    case FlowWord::Repeat: {  // REPEAT alone; REPEAT LABEL P=2 repeats a section
      const char* p = head.after;
      SkipSpaces(p, end);
      return p == end || *p == ';' ? 1 : 0;
    }
    case FlowWord::EndIf:
    case FlowWord::EndWhile:
    case FlowWord::EndFor:
    case FlowWord::EndLoop:
    case FlowWord::Until: return -1;
    default: return 0;
  }
}

// Reads the lines from `from` up to `until` through their Sinumerik heads:
// the first one `match` accepts, or with `last` the last one.
template <typename Match>
uint64_t SearchSinumerik(NcPathContext& ctx, StreamReader& reader, uint64_t from, uint64_t until,
                         bool last, Match match) {
  uint64_t found = kNowhere;
  reader.Seek(from);
  while (reader.Position() < until) {
    const uint64_t at = reader.Position();
    const char* text = nullptr;
    const char* end = nullptr;
    size_t length = 0;
    if (!NextLine(reader, text, end, length) || !SpendBlocks(ctx.eval, 1)) return found;
    SinumerikHead head;
    ReadSinumerikHead(text, end, head);
    const int verdict = match(head, end);  // 1 found, -1 stop here, 0 on
    if (verdict < 0) return found;
    if (verdict > 0) {
      found = at;
      if (!last) return found;
    }
    SkipPastLine(reader, text, length);
  }
  return found;
}

}  // namespace

uint64_t LabelKey(const char* name, size_t length) { return NameKey(name, name + length); }
uint64_t BlockNumberKey(uint64_t n) { return Key('N', n); }

void ReadSinumerikHead(const char* text, const char* end, SinumerikHead& head) {
  head = SinumerikHead{};
  const char* p = text;
  SkipSpaces(p, end);
  if (p < end && *p == '/') {  // block delete: the block runs all the same
    ++p;
    if (p < end && IsDigit(*p)) ++p;
    SkipSpaces(p, end);
  }
  // N10 LABEL: or LABEL: N10, either or both.
  if (SkipNumber(p, end, head)) {
    SkipLabel(p, end, head);
  } else if (SkipLabel(p, end, head)) {
    SkipNumber(p, end, head);
  }
  head.rest = p;
  size_t n = 0;
  head.word = FindFlowWord(PackedName(p, end, n), Dialect::Sinumerik);
  head.after = head.word != FlowWord::None ? p + n : p;
}

uint64_t FindSinumerikLabel(NcPathContext& ctx, StreamReader& reader, uint64_t key,
                            Direction direction, uint64_t blockAt, uint64_t from) {
  Evaluation& eval = ctx.eval;
  const uint64_t cacheKey = key ^ (uint64_t{static_cast<uint8_t>(direction)} + 1) * 0x9E3779B97F4A7C15ull;
  uint64_t at = kNowhere;
  if (CachedTarget(eval, cacheKey, blockAt, at)) return at;
  const auto label = [key](const SinumerikHead& head, const char*) {
    return head.label == key || (head.hasNumber && BlockNumberKey(head.number) == key) ? 1 : 0;
  };
  if (direction != Direction::Backward) at = SearchSinumerik(ctx, reader, from, reader.Size(), false, label);
  if (at == kNowhere && direction != Direction::Forward && eval.blocksLeft > 0)
    at = SearchSinumerik(ctx, reader, eval.programAt, blockAt + 1, true, label);
  if (eval.blocksLeft > 0) CacheTarget(eval, cacheKey, blockAt, at);
  return at;
}

uint64_t FindStructureEnd(NcPathContext& ctx, StreamReader& reader, uint64_t words, uint64_t from) {
  Evaluation& eval = ctx.eval;
  const uint64_t key = Key('S', words);
  uint64_t at = kNowhere;
  if (CachedTarget(eval, key, from, at)) return at;
  int depth = 0;
  at = SearchSinumerik(ctx, reader, from, reader.Size(), false,
                       [words, &depth](const SinumerikHead& head, const char* end) {
                         if (depth == 0 && (words & Bit(head.word)) != 0) return 1;
                         const int nesting = Nesting(head, end);
                         if (nesting > 0 || depth > 0) depth += nesting;
                         return 0;
                       });
  if (eval.blocksLeft > 0) CacheTarget(eval, key, from, at);
  return at;
}
