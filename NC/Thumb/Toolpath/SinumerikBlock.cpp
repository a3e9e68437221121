// Blocks of Sinumerik-style ISO programs: R parameters and DEF variables,
// words with "=" and expressions (X=R1+5, CR=10, AR=90), labels and jumps
// (GOTOF, GOTOB, GOTO), IF/ELSE/ENDIF, WHILE, FOR, REPEAT/UNTIL, LOOP,
// section repeats and MCALL of drilling cycles. Like an ISO macro block, a
// block leaves as a plain block would: address words with their values and
// the code text for the keyword scan with each value written as a number.
// Subprograms called by name are other files: they draw nothing.
#include <cmath>
#include <cstring>

#include "BlockRunner.h"
#include "NcPathContext.h"
#include "TextChars.h"

namespace {

bool Truth(double value) { return !IsVacant(value) && value != 0; }

// "=" of an assignment or a word, not the start of "==".
bool IsAssignment(const char* at, const char* end) {
  return at < end && *at == '=' && !(at + 1 < end && at[1] == '=');
}

int SlotOf(char letter) {
  switch (letter) {
    case 'X': return SLOT_X;
    case 'Y': return SLOT_Y;
    case 'Z': return SLOT_Z;
    case 'I': return SLOT_I;
    case 'J': return SLOT_J;
    case 'K': return SLOT_K;
    default: return SLOT_NONE;  // R is a parameter here, never a radius
  }
}

bool EndsProgram(char letter, double value) {
  for (const CallCodeRow& row : kSinumerikEnds)
    if (row.letter == letter && value == row.number) return true;
  return false;
}

bool IsModalCycle(const char* at, const char* end) {
  const size_t prefix = std::strlen(kModalCycleName);
  if (static_cast<size_t>(end - at) <= prefix) return false;
  for (size_t i = 0; i < prefix; ++i)
    if (Upper(at[i]) != kModalCycleName[i]) return false;
  int number = 0;
  const char* p = at + prefix;
  for (; p < end && IsDigit(*p) && number < 1000; ++p) number = number * 10 + (*p - '0');
  for (const int cycle : kModalCycles)
    if (number == cycle) return true;
  return false;
}

constexpr uint64_t kEnd = kNowhere;  // the program ends with this block

bool ParameterNumber(const char* name, size_t length, double& number);

class SinumerikRun : BlockRunner {
 public:
  SinumerikRun(NcPathContext& ctx, StreamReader& reader, BlockLine& line, char* keywords)
      : BlockRunner(ctx, reader, keywords), line_(line) {}

  uint64_t Run(const char* code, size_t length, size_t lineLength);
  size_t KeywordLength() const { return outLength_; }
  uint64_t NextInOrder() const { return next_; }

 private:
  uint64_t Statement(const SinumerikHead& head);
  uint64_t Words(const char* at);
  uint64_t Jump(const char* at, FlowWord jump);
  uint64_t For(const char* at);
  uint64_t Section(const char* at, bool oneBlock);
  void Declare(const char* at);
  void ModalCall(const char* at);
  bool Assign(const char* name, size_t length, const char*& at);
  double ReadVariable(const char* name, size_t length) const;
  void WriteVariable(const char* name, size_t length, double value);
  void WordValue(char letter, const char*& at);
  void Word(char letter, double value, uint16_t mode);
  uint64_t AfterLine(uint64_t at);
  uint64_t PastEnd(uint64_t words) { return AfterLine(FindStructureEnd(ctx_, reader_, words, next_)); }
  LoopRecord* Innermost(LoopKind kind);

  // A whole expression of this block; its place in the file names its
  // compiled form, apart from the ISO forms of the same place.
  bool Evaluate(const char*& at, double& value) {
    SkipSpaces(at, end_);
    const uint64_t key = (blockAt_ << 8 | static_cast<uint64_t>(at - text_)) ^ (uint64_t{1} << 63);
    return EvaluateExpression(eval_.vars, at, end_, true, value, &eval_.expressions, key,
                              Dialect::Sinumerik);
  }
  bool Condition(const char*& at) {
    double value = 0;
    return Evaluate(at, value) && Truth(value);
  }


  BlockLine& line_;
  bool ends_ = false;            // M30, M2, M17 or RET
};

uint64_t SinumerikRun::AfterLine(uint64_t at) {
  if (at == kNowhere) return kEnd;
  reader_.Seek(at);
  const StreamReader::Line line = reader_.PeekLine(BlockLine::kLimit);
  reader_.Skip(line.length);
  if (line.length > 0 && line.bytes[line.length - 1] != '\n') reader_.SkipLine();
  return reader_.Position();
}

LoopRecord* SinumerikRun::Innermost(LoopKind kind) {
  for (int k = eval_.loopCount - 1; k >= 0 && eval_.loops[k].level == eval_.depth; --k) {
    if (eval_.loops[k].kind == kind) return &eval_.loops[k];
  }
  return nullptr;
}

// A word's value: it enters as a literal number does, within ten digits and
// rounded to float; a vacant one leaves the word not given.
void SinumerikRun::Word(char letter, double value, uint16_t mode) {
  if (IsVacant(value) || std::fabs(value) >= 1e10) return;
  value = static_cast<double>(static_cast<float>(value));
  if (EndsProgram(letter, value)) ends_ = true;
  const int slot = SlotOf(letter);
  if (slot == SLOT_NONE) {
    if (letter == 'R') return;
    Emit(letter);
    EmitNumber(value);
    Emit(' ');
    return;
  }
  // No keyword holds an address letter and digits: "0" or "-0" stands for
  // any number of the same sign (as in DR-5).
  Emit(letter);
  if (value < 0) Emit('-');
  Emit('0');
  Emit(' ');
  if (line_.plainWords < BlockLine::kMaxPlainWords) {
    line_.wordModes = static_cast<uint16_t>(line_.wordModes | mode << (2 * line_.plainWords));
    line_.plainSlots[line_.plainWords] = static_cast<uint8_t>(slot);
    line_.plainValues[line_.plainWords++] = value;
  }
}

// X=expression, X=AC(expression), X=IC(expression).
void SinumerikRun::WordValue(char letter, const char*& at) {
  SkipSpaces(at, end_);
  uint16_t mode = 0;
  size_t n = 0;
  const BlockWord form = FindBlockWord(PackedRun(at, end_, n));
  const char* bracket = at + n;
  SkipSpaces(bracket, end_);
  if ((form == BlockWord::Absolute || form == BlockWord::Incremental) && bracket < end_ &&
      *bracket == kSinumerikMarks.open) {
    mode = form == BlockWord::Absolute ? kWordAbsolute : kWordIncremental;
    at = bracket;
  }
  double value = 0;
  if (Evaluate(at, value)) Word(letter, value, mode);
}

// The number of an R parameter's name (R12), or false for another name.
bool ParameterNumber(const char* name, size_t length, double& number) {
  if (Upper(name[0]) != kSinumerikMarks.variable || length < 2) return false;
  number = 0;
  for (size_t i = 1; i < length; ++i) {
    if (!IsDigit(name[i])) return false;
    number = number * 10 + (name[i] - '0');
  }
  return true;
}

double SinumerikRun::ReadVariable(const char* name, size_t length) const {
  double number = 0;
  if (ParameterNumber(name, length, number)) return ReadR(eval_.vars, number);
  return ReadNamed(eval_.vars, name, length);
}

// R1, or a name that DEF declared: others are the control's own (SPOS=0).
void SinumerikRun::WriteVariable(const char* name, size_t length, double value) {
  double number = 0;
  if (ParameterNumber(name, length, number)) {
    WriteR(eval_.vars, number, value);
    return;
  }
  if (NamedVariable* v = FindNamedVariable(eval_.vars, name, length)) SetNamed(*v, value);
}

// R1=expression or NAME=expression; `at` stands on "=".
bool SinumerikRun::Assign(const char* name, size_t length, const char*& at) {
  ++at;
  double value = 0;
  if (!Evaluate(at, value)) return false;
  WriteVariable(name, length, value);
  return true;
}

// The words of a block: address letters with numbers (G1 X10), with "="
// and an expression (X=R1/2), assignments (R1=5, LEN=40), arc words (CR=,
// AR=, TURN=, CIP, I1=), calls by name (drawing nothing).
uint64_t SinumerikRun::Words(const char* at) {
  while (at < end_) {
    const char c = *at;
    if (c == ';') break;  // a comment to the line's end
    if (c == '"') {       // a text: T="DRILL"
      for (++at; at < end_ && *at != '"'; ++at) {
      }
      ++at;
      continue;
    }
    if (!IsLetter(c) && c != '_') {
      ++at;
      continue;
    }
    size_t letters = 0;
    PackedRun(at, end_, letters);
    size_t n = 0;
    const uint64_t name = PackedName(at, end_, n);
    const char letter = Upper(c);
    const char* p = at + n;
    SkipSpaces(p, end_);
    if (letters == 1 && n == 1 && IsAssignment(p, end_)) {  // X=..
      at = p + 1;
      WordValue(letter, at);
      continue;
    }
    if (IsAssignment(p, end_)) {  // R1=.., LEN=.., CR=.., I1=..
      const BlockWord word = FindBlockWord(name);
      const char* value = p + 1;
      double v = 0;
      if (word == BlockWord::Radius || word == BlockWord::Angle || word == BlockWord::Turns) {
        if (!Evaluate(value, v)) return next_;
        if (word == BlockWord::Radius) {
          // The radius of an arc, as an ISO R word: CR=-10 asks for the larger arc.
          if (!IsVacant(v) && std::fabs(v) < 1e10) {
            const double r = static_cast<double>(static_cast<float>(v));
            Emit('R');
            Emit(r < 0 ? '-' : '0');
            Emit(' ');
            if (line_.plainWords < BlockLine::kMaxPlainWords) {
              line_.plainSlots[line_.plainWords] = SLOT_R;
              line_.plainValues[line_.plainWords++] = r;
            }
          }
        } else if (word == BlockWord::Angle && !IsVacant(v)) {
          ctx_.arcAngle = v;
          ctx_.arcForm |= ARC_ANGLE;
        } else if (word == BlockWord::Turns && !IsVacant(v) && v >= 0.5) {
          ctx_.arcForm |= ARC_TURNS;
        }
        at = value;
        continue;
      }
      const int via = letters == 1 && n == 2 && at[1] == '1' ? letter - 'I' : -1;
      if (via >= 0 && via <= 2) {  // I1= J1= K1=: the point a CIP arc passes
        if (!Evaluate(value, v)) return next_;
        ctx_.arcVia[via] = v;
        ctx_.arcViaGiven[via] = !IsVacant(v);
        at = value;
        continue;
      }
      const char* const nameAt = at;
      at = p;
      if (!Assign(nameAt, n, at)) return next_;
      continue;
    }
    if (letters == 1) {  // an address letter and its number
      const auto* q = reinterpret_cast<const uint8_t*>(at + 1);
      double value = 0;
      const bool number = ReadNumber(q, reinterpret_cast<const uint8_t*>(end_), value);
      at = reinterpret_cast<const char*>(q);
      if (number) Word(letter, value, 0);
      continue;
    }
    at += n;
    switch (FindBlockWord(name)) {
      case BlockWord::Via:
        ctx_.arcForm |= ARC_VIA;
        break;
      case BlockWord::Frame:
        return next_;  // TRANS X10: a shift, no position
      default:
        if (at < end_ && *at == kSinumerikMarks.open) {
          // A call by name with its arguments (CYCLE81(..)), in another file.
          int depth = 0;
          for (; at < end_; ++at) {
            depth += *at == '(' ? 1 : *at == ')' ? -1 : 0;
            if (depth == 0) {
              ++at;
              break;
            }
          }
        }
        break;
    }
  }
  return next_;
}

// GOTOF LABEL, GOTOB N20, GOTO LABEL: a label that is not there ends the
// program, as the control's alarm would; after GOTOC the program goes on.
uint64_t SinumerikRun::Jump(const char* at, FlowWord jump) {
  const Direction direction = jump == FlowWord::GotoF   ? Direction::Forward
                              : jump == FlowWord::GotoB ? Direction::Backward
                                                        : Direction::Both;
  SkipSpaces(at, end_);
  size_t n = 0;
  PackedName(at, end_, n);
  if (n == 0) return kEnd;
  uint64_t key = LabelKey(at, n);
  if (n > 1 && Upper(*at) == 'N' && IsDigit(at[1])) {
    uint64_t number = 0;
    bool digits = true;
    for (size_t i = 1; i < n; ++i) {
      digits = digits && IsDigit(at[i]);
      if (number < 1000000000000ull) number = number * 10 + static_cast<uint64_t>(at[i] - '0');
    }
    if (digits) key = BlockNumberKey(number);
  }
  // The labelled block runs (kNowhere is the end).
  const uint64_t target = FindSinumerikLabel(ctx_, reader_, key, direction, blockAt_, next_);
  if (target == kNowhere && jump == FlowWord::GotoC && eval_.blocksLeft > 0) return next_;
  return target;
}

// FOR R1=1 TO 4 ... ENDFOR (or FOR LEN=..): ENDFOR comes back here, and
// the variable steps by 1 until it passes the end value.
uint64_t SinumerikRun::For(const char* at) {
  SkipSpaces(at, end_);
  size_t n = 0;
  PackedName(at, end_, n);
  const char* const name = at;
  at += n;
  SkipSpaces(at, end_);
  double start = 0, last = 0;
  size_t word = 0;
  if (n == 0 || !IsAssignment(at, end_)) return next_;
  ++at;
  if (!Evaluate(at, start)) return next_;
  SkipSpaces(at, end_);
  if (FindFlowWord(PackedRun(at, end_, word), Dialect::Sinumerik) != FlowWord::To) return next_;
  at += word;
  if (!Evaluate(at, last)) return next_;

  LoopRecord* loop = FindLoop(eval_, LoopKind::SFor, blockAt_);
  double value = start;
  if (loop != nullptr && loop->count == 1) {  // back from ENDFOR
    loop->count = 0;
    value = ReadVariable(name, n) + 1;
  } else if (!OpenLoop(eval_, LoopKind::SFor, blockAt_, blockAt_, 0)) {
    return kEnd;
  }
  WriteVariable(name, n, value);
  if (value <= last) return next_;
  CloseLoop(eval_, FindLoop(eval_, LoopKind::SFor, blockAt_));
  return PastEnd(Bit(FlowWord::EndFor));
}

// REPEAT LABEL P=n: the blocks from LABEL to this one run n more times.
// REPEAT START END P=n: those from START to END, n times. REPEATB LABEL
// P=n: the labelled block, n times. Without P, once.
uint64_t SinumerikRun::Section(const char* at, bool oneBlock) {
  uint64_t labels[2] = {0, 0};
  int count = 0;
  double repeats = 1;
  while (at < end_ && *at != ';') {
    SkipSpaces(at, end_);
    size_t n = 0;
    PackedName(at, end_, n);
    if (n == 0) break;
    const char* p = at + n;
    SkipSpaces(p, end_);
    if (n == 1 && Upper(*at) == 'P' && IsAssignment(p, end_)) {
      ++p;
      if (!Evaluate(p, repeats)) return next_;
      at = p;
      continue;
    }
    if (count < 2) labels[count++] = LabelKey(at, n);
    at += n;
  }
  if (count == 0 || !(repeats >= 1 && repeats < 1e9)) return next_;
  const uint64_t from = FindSinumerikLabel(ctx_, reader_, labels[0], Direction::Backward, blockAt_, next_);
  if (from == kNowhere) return kEnd;
  CallFrame frame{};
  frame.returnAt = next_;
  frame.bodyAt = from;
  frame.repeats = static_cast<uint32_t>(repeats + 0.5);
  frame.section = true;
  if (oneBlock || count == 2) {
    frame.inclusive = true;
    frame.sectionEnd = oneBlock ? from
                                : FindSinumerikLabel(ctx_, reader_, labels[1], Direction::Backward,
                                                     blockAt_, next_);
    if (frame.sectionEnd == kNowhere) return kEnd;
  } else {
    frame.sectionEnd = blockAt_;
  }
  return PushCall(eval_, frame, false) ? from : kEnd;
}

// DEF REAL LEN, WID=5: each name declared, 0 or its value; those of DEF
// INT hold whole numbers.
void SinumerikRun::Declare(const char* at) {
  size_t n = 0;
  SkipSpaces(at, end_);
  const bool whole = PackedName(at, end_, n) == kSinumerikWholeType;  // REAL, INT, BOOL, ...
  at += n;
  while (at < end_ && *at != ';') {
    SkipSpaces(at, end_);
    PackedName(at, end_, n);
    if (n == 0) return;
    const char* const name = at;
    at += n;
    SkipSpaces(at, end_);
    double value = 0;
    if (IsAssignment(at, end_)) {
      ++at;
      if (!Evaluate(at, value)) value = 0;
    }
    DeclareNamed(eval_.vars, name, n, value, whole);
    SkipSpaces(at, end_);
    if (at >= end_ || *at != ',') return;
    ++at;
  }
}

// MCALL CYCLE81(..): following positions are drilling points, as after
// G81, until MCALL alone (or the modal call of anything else).
void SinumerikRun::ModalCall(const char* at) {
  SkipSpaces(at, end_);
  const bool drilling = IsModalCycle(at, end_);
  ctx_.modalCall = drilling;
  ctx_.modeCycle = false;
  if (!drilling) return;
  ctx_.modeRapid = ctx_.modeLinear = ctx_.modeArcCw = ctx_.modeArcCcw = false;  // as G81
  ctx_.arcForm |= CALL_FROM_NEXT;
}

uint64_t SinumerikRun::Statement(const SinumerikHead& head) {
  const char* at = head.after;
  switch (head.word) {
    case FlowWord::If: {
      const bool holds = Condition(at);
      // A jump after the condition makes it a one-line IF, also where the
      // condition could not be read (IF $P_SEARCH GOTOF ..., taken as false).
      FlowWord jump = FlowWord::None;
      size_t n = 0;
      for (; at < end_ && *at != ';'; at += n > 0 ? n : 1) {
        jump = FindFlowWord(PackedName(at, end_, n), Dialect::Sinumerik);
        if (IsJump(jump)) return holds ? Jump(at + n, jump) : next_;
      }
      if (holds) return next_;
      return PastEnd(Bit(FlowWord::Else) | Bit(FlowWord::EndIf));
    }
    case FlowWord::Else:  // the IF's branch ran: on after ENDIF
      return PastEnd(Bit(FlowWord::EndIf));
    case FlowWord::EndIf:
      return next_;
    case FlowWord::While:
      if (Condition(at)) return OpenLoop(eval_, LoopKind::SWhile, blockAt_, blockAt_, 0) ? next_ : kEnd;
      CloseLoop(eval_, FindLoop(eval_, LoopKind::SWhile, blockAt_));
      return PastEnd(Bit(FlowWord::EndWhile));
    case FlowWord::EndWhile: {
      const LoopRecord* loop = Innermost(LoopKind::SWhile);
      return loop != nullptr ? loop->at : next_;
    }
    case FlowWord::For:
      return For(at);
    case FlowWord::EndFor: {
      LoopRecord* loop = Innermost(LoopKind::SFor);
      if (loop == nullptr) return next_;
      loop->count = 1;  // the FOR block steps on
      return loop->at;
    }
    case FlowWord::Repeat: {
      const char* p = at;
      SkipSpaces(p, end_);
      if (p < end_ && *p != ';') return Section(p, false);
      return OpenLoop(eval_, LoopKind::SRepeat, blockAt_, next_, 0) ? next_ : kEnd;
    }
    case FlowWord::RepeatB:
      return Section(at, true);
    case FlowWord::Until: {
      LoopRecord* loop = Innermost(LoopKind::SRepeat);
      if (loop == nullptr) return next_;
      if (!Condition(at)) return loop->at;
      CloseLoop(eval_, loop);
      return next_;
    }
    case FlowWord::Loop:
      return OpenLoop(eval_, LoopKind::SLoop, blockAt_, next_, 0) ? next_ : kEnd;
    case FlowWord::EndLoop: {
      const LoopRecord* loop = Innermost(LoopKind::SLoop);
      return loop != nullptr ? loop->at : next_;
    }
    case FlowWord::Goto:
    case FlowWord::GotoF:
    case FlowWord::GotoB:
    case FlowWord::GotoC:
      return Jump(at, head.word);
    case FlowWord::Def:
      Declare(at);
      return next_;
    case FlowWord::ModalCall:
      ModalCall(at);
      return next_;
    case FlowWord::Return:
      return kEnd;
    default: {
      const uint64_t next = Words(head.rest);
      return ends_ ? kEnd : next;
    }
  }
}

uint64_t SinumerikRun::Run(const char* code, size_t length, size_t lineLength) {
  std::memcpy(text_, code, length);
  end_ = text_ + length;
  blockAt_ = reader_.Position();
  next_ = blockAt_ + lineLength;
  line_.plainWords = 0;
  line_.wordModes = 0;
  for (bool& given : ctx_.arcViaGiven) given = false;

  // A section repeat ends where its end is reached: at the REPEAT block
  // itself (not run again), or once the end label's block has run.
  CallFrame* section = eval_.depth > 0 && eval_.calls[eval_.depth - 1].section
                           ? &eval_.calls[eval_.depth - 1]
                           : nullptr;
  if (section != nullptr && !section->inclusive && section->sectionEnd == blockAt_)
    return ReturnFromCall(eval_);
  SinumerikHead head;
  ReadSinumerikHead(text_, end_, head);
  const uint64_t next = Statement(head);
  if (next == next_ && section != nullptr && section->inclusive && section->sectionEnd == blockAt_ &&
      eval_.depth > 0 && &eval_.calls[eval_.depth - 1] == section)
    return ReturnFromCall(eval_);
  return next;
}

}  // namespace

bool SinumerikNeedsEvaluation(const char* code, size_t length) {
  const char* const end = code + length;
  for (const char* p = code; p < end; ++p) {
    const char c = *p;
    // Assignments and "=" words, calls and expressions, labels, texts.
    if (c == '=' || c == '(' || c == ':' || c == '"' || c == '[') return true;
    if (!IsLetter(c)) continue;
    if (p + 1 < end && (IsLetter(p[1]) || p[1] == '_')) return true;  // a name or keyword
    // M2, M30, M17 end the program.
    if (Upper(c) == 'M' && p + 1 < end && IsDigit(p[1])) {
      int number = 0;
      for (const char* d = p + 1; d < end && IsDigit(*d) && number < 1000; ++d) number = number * 10 + (*d - '0');
      if (EndsProgram('M', number)) return true;
    }
  }
  return false;
}

bool MarksSinumerik(uint64_t word, const char* at, size_t length, const char* end,
                    const char* statement) {
  size_t n = 0;
  const uint64_t name = PackedName(at, end, n);
  const char* after = at + n;
  SkipSpaces(after, end);
  if (IsAssignment(after, end)) {
    // R1=, CR=, AR=, TURN=: an assignment or arc word of the dialect.
    double number = 0;
    if (ParameterNumber(at, n, number)) return true;
    const BlockWord form = FindBlockWord(name);
    return form == BlockWord::Radius || form == BlockWord::Angle || form == BlockWord::Turns;
  }
  if (FindBlockWord(name) == BlockWord::Via) return true;  // CIP
  const FlowKeyword* mark = length > 1 ? FindDialectMark(word) : nullptr;
  return mark != nullptr && (mark->any || at == statement);
}

size_t RunSinumerikBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                         size_t lineLength, BlockLine& line, char* keywords, uint64_t& next,
                         uint64_t& nextInOrder) {
  SinumerikRun run(ctx, reader, line, keywords);
  next = run.Run(code, length, lineLength);
  nextInOrder = run.NextInOrder();
  return run.KeywordLength();
}
