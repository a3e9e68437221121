// One block of a TNC program that uses Q parameters, FN functions or labels.
// Its statements run here (FN 0: to FN 12:, formulas Q5 = Q1 + 2, LBL,
// CALL LBL .. REP); what it draws leaves as the block's own text with every
// parameter written as its value (L X+Q1 FQ2 becomes L X+12.5 F100), which
// the scanner and the word reader then read as they read any TNC block, so
// incremental words, circle centres, datum shifts and cycle calls keep their
// meaning. The block scanner asks only for blocks that NeedsTncEvaluation
// picks out, so a program without these constructs never comes here.
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "BlockRunner.h"
#include "NcPathContext.h"
#include "TextChars.h"

namespace {

// The TNC keyword at `at` (after spaces); `at` moves past it.
FlowWord ReadKeyword(const char*& at, const char* end) {
  SkipSpaces(at, end);
  size_t length = 0;
  const FlowWord word = FindFlowWord(PackedRun(at, end, length), Dialect::Tnc);
  if (word != FlowWord::None) at += length;
  return word;
}

// The packed name of a TNC flow keyword, for a block that can only go on
// with that one word.
constexpr uint64_t TncFlowCode(FlowWord word) {
  for (size_t k = kFlowRows.first[static_cast<int>(Dialect::Tnc)]; k < kFlowRows.end[static_cast<int>(Dialect::Tnc)]; ++k)
    if (kFlowKeywords[k].word == word) return kFlowCodes.code[k];
  return kNoWord;
}

// Whether `word` stands at `at` (after spaces); `at` moves past it if so.
template <FlowWord word>
bool ReadExpected(const char*& at, const char* end) {
  constexpr uint64_t code = TncFlowCode(word);
  static_assert(code != kNoWord, "a TNC flow keyword");
  SkipSpaces(at, end);
  size_t length = 0;
  if (PackedRun(at, end, length) != code) return false;
  at += length;
  return true;
}

// Whether the run of `length` letters at `run`, followed by a digit, ends
// with a parameter's letters (Q, QL, QR): X+Q1, FQ2, QL3. Returns the
// letters before the parameter, or -1.
int LettersBeforeParameter(const char* run, size_t length) {
  if (length >= 2 && Upper(run[length - 2]) == 'Q' &&
      (Upper(run[length - 1]) == 'L' || Upper(run[length - 1]) == 'R'))
    return static_cast<int>(length - 2);
  if (Upper(run[length - 1]) == 'Q') return static_cast<int>(length - 1);
  return -1;
}

// M2, M02 or M30 at `at` (the run "M" of one letter).
bool IsProgramEnd(const char* at, const char* end) {
  int number = 0;
  const char* p = at + 1;
  for (; p < end && IsDigit(*p); ++p) number = number < 1000 ? number * 10 + (*p - '0') : number;
  return p > at + 1 && (number == 2 || number == 30);
}

// Where the block number and the spaces around it end.
const char* StatementStart(const char* at, const char* end) {
  SkipSpaces(at, end);
  while (at < end && IsDigit(*at)) ++at;
  SkipSpaces(at, end);
  return at;
}

bool WholeNumber(double value, uint64_t& n) {
  if (!(value >= 0 && value < 1e15)) return false;
  n = static_cast<uint64_t>(value + 0.5);
  return true;
}

constexpr uint64_t kEnd = kNowhere;  // the program ends with this block
constexpr int kMaxAssignments = 8;

struct Assignment {
  double number;  // the numbered variable
  double value;
};

class TncRun : BlockRunner {
 public:
  TncRun(NcPathContext& ctx, StreamReader& reader, char* out)
      : BlockRunner(ctx, reader, out) {}

  uint64_t Run(const char* code, size_t length, size_t lineLength);
  size_t TextLength() const { return outLength_; }

 private:
  uint64_t RunFn(const char* at);
  uint64_t RunLabel(const char* at);
  uint64_t CallLabel(const char* at);
  uint64_t GotoLabel(const char* at);
  uint64_t RunWords(const char* at);
  bool ReadLabel(const char*& at, uint64_t& key);

  // An expression of this block; its place in the file names its compiled form.
  bool Evaluate(const char*& at, bool whole, double& value) {
    const uint64_t key = blockAt_ << 8 | static_cast<uint64_t>(at - text_);
    return EvaluateExpression(eval_.vars, at, end_, whole, value, &eval_.expressions, key,
                              Dialect::Tnc);
  }
};

// A label: a number, a "NAME", or a parameter that holds the number.
bool TncRun::ReadLabel(const char*& at, uint64_t& key) {
  if (ReadTncLabel(at, end_, key)) return true;
  double value = 0;
  uint64_t n = 0;
  SkipSpaces(at, end_);
  if (!Evaluate(at, false, value) || !WholeNumber(value, n)) return false;
  key = TncLabelKey(n);
  return true;
}

// FN 0: to FN 8: assign, FN 9: to FN 12: jump; other FN functions (errors,
// printing, system data) draw nothing.
uint64_t TncRun::RunFn(const char* at) {
  SkipSpaces(at, end_);
  int fn = 0;
  const char* digits = at;
  for (; at < end_ && IsDigit(*at); ++at) fn = fn < 1000 ? fn * 10 + (*at - '0') : fn;
  if (at == digits || fn >= kFnCount) return next_;
  SkipSpaces(at, end_);
  if (at < end_ && *at == ':') ++at;
  const FnRow& row = kFnRows[fn];
  double a = 0, b = 0;
  if (row.kind == FnKind::Jump) {
    // IF +a EQU +b GOTO LBL n: the FN number decides the comparison.
    if (!ReadExpected<FlowWord::If>(at, end_)) return next_;
    SkipSpaces(at, end_);
    if (!Evaluate(at, false, a)) return next_;
    SkipSpaces(at, end_);
    size_t length = 0;
    PackedRun(at, end_, length);  // EQU, NE, GT or LT: the FN number has said which
    at += length;
    SkipSpaces(at, end_);
    if (!Evaluate(at, false, b)) return next_;
    const double holds = ApplyOperator(row.op, a, b);
    if (!ReadExpected<FlowWord::Goto>(at, end_) || !ReadExpected<FlowWord::Label>(at, end_)) return next_;
    return !IsVacant(holds) && holds != 0 ? GotoLabel(at) : next_;
  }
  double number = 0;
  SkipSpaces(at, end_);
  if (!ReadTncParameter(at, end_, number)) return next_;
  SkipSpaces(at, end_);
  if (at >= end_ || *at != '=') return next_;
  ++at;
  SkipSpaces(at, end_);
  size_t length = 0;
  if (row.kind == FnKind::Unary) {  // SQRT, SIN, COS before the operand
    PackedRun(at, end_, length);
    at += length;
    SkipSpaces(at, end_);
  }
  if (!Evaluate(at, false, a)) return next_;
  double value = a;
  if (row.kind == FnKind::Unary) value = ApplyFunction(row.function, a);
  if (row.kind == FnKind::Binary) {
    // The operator between the operands: + - * or a word (DIV, LEN).
    SkipSpaces(at, end_);
    if (at < end_ && IsLetter(*at)) {
      PackedRun(at, end_, length);
      at += length;
    } else if (at < end_) {
      ++at;
    }
    SkipSpaces(at, end_);
    if (!Evaluate(at, false, b)) return next_;
    value = row.op != Operator::None
                ? ApplyOperator(row.op, a, b)
                : ApplyFunction(Function::Sqrt, ApplyOperator(Operator::Add, ApplyOperator(Operator::Multiply, a, a),
                                                             ApplyOperator(Operator::Multiply, b, b)));
  }
  WriteNumbered(eval_.vars, number, value);
  return next_;
}

// LBL 0 ends the subprogram running; every other label met in sequence is
// an ordinary block.
uint64_t TncRun::RunLabel(const char* at) {
  uint64_t key = 0;
  if (ReadTncLabel(at, end_, key) && key == kTncLabelZero && eval_.depth > 0) return ReturnFromCall(eval_);
  return next_;
}

// CALL LBL n: the label's blocks up to LBL 0, then the block after the call.
// With REP k after a label before it, the section from the label repeats k
// more times; after a label further on, the subprogram runs k more times.
uint64_t TncRun::CallLabel(const char* at) {
  uint64_t key = 0;
  if (!ReadLabel(at, key) || key == kTncLabelZero) return next_;
  uint64_t repeats = 0;
  const bool rep = ReadExpected<FlowWord::Repeat>(at, end_);
  if (rep) {
    double value = 0;
    SkipSpaces(at, end_);
    if (!Evaluate(at, false, value) || !WholeNumber(value, repeats)) return next_;
    if (repeats > UINT32_MAX - 1) repeats = UINT32_MAX - 1;
  }
  const uint64_t body = FindTncLabel(ctx_, reader_, key);
  if (body == kNowhere) return eval_.blocksLeft > 0 ? next_ : kEnd;  // not in this program
  if (rep && body <= blockAt_) {
    // A section repeat: this block counts its runs.
    LoopRecord* loop = FindLoop(eval_, LoopKind::TncRepeat, blockAt_);
    if (loop == nullptr) {
      if (!OpenLoop(eval_, LoopKind::TncRepeat, blockAt_, body, static_cast<uint32_t>(repeats))) return kEnd;
      loop = FindLoop(eval_, LoopKind::TncRepeat, blockAt_);
    }
    if (loop->count > 0) {
      --loop->count;
      return loop->at;
    }
    CloseLoop(eval_, loop);
    return next_;
  }
  CallFrame frame{};
  frame.returnAt = next_;
  frame.bodyAt = body;
  frame.repeats = static_cast<uint32_t>(repeats + 1);
  if (!PushCall(eval_, frame, false)) return kEnd;
  return body;
}

// GOTO LBL n: on after the label; a label that is not there ends the
// program, as the control's error would.
uint64_t TncRun::GotoLabel(const char* at) {
  uint64_t key = 0;
  if (!ReadLabel(at, key)) return kEnd;
  return FindTncLabel(ctx_, reader_, key);
}

// The block's words with each parameter written as its value, and its
// assignments (Q5 = Q1 + 2, and the cycle parameters Q200=2 of a cycle
// definition), applied when the whole block has been read.
uint64_t TncRun::RunWords(const char* at) {
  Assignment assignments[kMaxAssignments];
  int count = 0;
  bool ends = false;
  while (at < end_) {
    const char c = *at;
    if (!IsLetter(c)) {
      Emit(c);
      ++at;
      continue;
    }
    const char* p = at;
    double number = 0;
    if (ReadTncParameter(p, end_, number)) {
      const char* q = p;
      SkipSpaces(q, end_);
      if (q < end_ && *q == '=') {  // an assignment
        ++q;
        double value = 0;
        if (!Evaluate(q, true, value)) break;  // the rest is no statement
        if (count < kMaxAssignments) assignments[count++] = {number, value};
        at = q;
        continue;
      }
    }
    size_t length = 0;
    PackedRun(at, end_, length);
    const char* const after = at + length;
    // The letters of a word, and where its value starts when a parameter
    // or a bracket gives it (X+Q1, IX-Q2, FQ2, X+(Q1 * 2)); null for a
    // word as it stands.
    size_t letters = length;
    const char* value = nullptr;
    if (after < end_ && IsDigit(*after)) {
      const int before = LettersBeforeParameter(at, length);
      if (before > 0) {
        letters = static_cast<size_t>(before);
        value = at + before;
      }
    } else if (after < end_) {
      const char* t = after + (*after == '+' || *after == '-');
      double ignored = 0;
      if (t < end_ && (*t == '(' || ReadTncParameter(t, end_, ignored))) value = after;
    }
    if (length == 1 && Upper(c) == 'M' && IsProgramEnd(at, end_)) ends = true;
    const size_t wordAt = outLength_;
    for (size_t k = 0; k < letters; ++k) Emit(at[k]);
    at += letters;
    double v = 0;
    const char* q = value;
    if (value == nullptr || !Evaluate(q, false, v)) continue;  // the rest as it stands
    const bool sign = *value == '+' || *value == '-';
    at = q;
    // A value enters the word as a literal number does; a vacant one leaves
    // the word not given.
    if (IsVacant(v) || std::fabs(v) >= 1e10) {
      outLength_ = wordAt;
      continue;
    }
    if (sign || v < 0) Emit(v < 0 ? '-' : '+');
    EmitNumber(std::fabs(v));
  }
  for (int k = 0; k < count; ++k) WriteNumbered(eval_.vars, assignments[k].number, assignments[k].value);
  // After a call the subprograms follow the program's end.
  return ends && eval_.called ? kEnd : next_;
}

uint64_t TncRun::Run(const char* code, size_t length, size_t lineLength) {
  std::memcpy(text_, code, length);
  end_ = text_ + length;
  blockAt_ = reader_.Position();
  next_ = blockAt_ + lineLength;
  const char* statement = StatementStart(text_, end_);
  const char* at = statement;
  switch (ReadKeyword(at, end_)) {
    case FlowWord::Fn:
      return RunFn(at);
    case FlowWord::Label:
      return RunLabel(at);
    case FlowWord::Call:
      // CALL PGM runs another file: nothing of it is drawn.
      return ReadExpected<FlowWord::Label>(at, end_) ? CallLabel(at) : next_;
    default:
      // The block number stays: the scanner reads the block as it stands.
      return RunWords(text_);
  }
}

// Every block for the evaluator holds one of these bytes (as small letters,
// with 0x20 set): q of a parameter, n of FN, b of LBL, and, once a call has
// been made, m of M2 or M30. Most blocks of a plain TNC program hold none of
// them (L X+10 Y+5 R0 F500). The scanner's sweep tells the common lines by
// its keywords; this look serves the others.
constexpr char kTncParameterByte = 'q', kTncFnByte = 'n', kTncLabelByte = 'b', kTncEndByte = 'm';

bool MayNeedEvaluation(const char* code, size_t length, bool called) {
  size_t i = 0;
#if defined(__SSE2__)
  if (length >= 16) {
    const __m128i fold = _mm_set1_epi8(0x20);  // capitals to small letters
    const __m128i m = _mm_set1_epi8(called ? kTncEndByte : kTncParameterByte);
    // Sixteen bytes at a time; the last sixteen overlap those before them.
    for (;; i += 16) {
      if (i + 16 > length) i = length - 16;
      const __m128i bytes = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(code + i)), fold);
      const __m128i hits = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(kTncParameterByte)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(kTncFnByte))),
          _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(kTncLabelByte)), _mm_cmpeq_epi8(bytes, m)));
      if (_mm_movemask_epi8(hits) != 0) return true;
      if (i + 16 == length) return false;
    }
  }
#endif
  for (; i < length; ++i) {
    const char c = static_cast<char>(code[i] | 0x20);
    if (c == kTncParameterByte || c == kTncFnByte || c == kTncLabelByte || (called && c == kTncEndByte))
      return true;
  }
  return false;
}

}  // namespace

bool NeedsTncEvaluation(const Evaluation& eval, const char* code, size_t length) {
  if (!MayNeedEvaluation(code, length, eval.called)) return false;
  const char* const end = code + length;
  const char* p = StatementStart(code, end);
  if (p < end && *p == '*') return false;  // a structure line: a comment whole
  while (p < end) {
    const char c = *p;
    if (!IsLetter(c)) {
      ++p;
      continue;
    }
    size_t n = 0;
    const uint64_t word = PackedRun(p, end, n);
    const char* after = p + n;
    if (after < end && IsDigit(*after)) {
      // Q1, FQ2, QL3; and M2, M30 once a call has been made.
      if (LettersBeforeParameter(p, n) >= 0) return true;
      if (eval.called && n == 1 && Upper(c) == 'M' && IsProgramEnd(p, end)) return true;
    } else {
      const FlowWord flow = FindFlowWord(word, Dialect::Tnc);
      if (flow == FlowWord::Fn || flow == FlowWord::Label) return true;
    }
    p = after;
  }
  return false;
}

uint64_t RunTncBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                     size_t lineLength, char* text, size_t& textLength) {
  TncRun run(ctx, reader, text);
  const uint64_t next = run.Run(code, length, lineLength);
  textLength = run.TextLength();
  return next;
}
