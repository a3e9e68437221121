// One block of a parametric program: its statements (assignments, IF, GOTO,
// WHILE/DO/END, calls and returns, o-words) run here, and what it draws
// leaves as a plain block would: address words with their values and the
// code text for the keyword scan with every value written as a number.
// The block scanner asks only for blocks that NeedsEvaluation picks out, so
// a plain program never comes here.
#include <cmath>
#include <cstring>

#include "BlockRunner.h"
#include "NcPathContext.h"
#include "TextChars.h"

namespace {

// The ISO flow keyword of the run of letters at `at`; `length` receives
// the run's length.
FlowWord IsoFlowWord(const char* at, const char* end, size_t& length) {
  return FindFlowWord(PackedRun(at, end, length), Dialect::Iso);
}

CallCode CallCodeOf(char letter, double value) {
  for (const CallCodeRow& row : kCallCodes)
    if (row.letter == letter && value == row.number) return row.code;
  return CallCode::None;
}

int SlotOf(char letter) {
  switch (letter) {
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

// A whole number of a label, a loop or a count from a value; false for
// vacant, negative or absurd values.
bool WholeNumber(double value, uint64_t& n) {
  if (!(value >= 0 && value < 1e15)) return false;
  n = static_cast<uint64_t>(value + 0.5);
  return true;
}

bool Truth(double value) { return !IsVacant(value) && value != 0; }

constexpr uint64_t kEnd = kNowhere;  // the program ends with this block
constexpr int kMaxAssignments = 8;

struct Assignment {
  const char* name;  // #<name>, or null for a numbered variable
  size_t nameLength;
  double number;
  double value;
};

class BlockRun : BlockRunner {
 public:
  BlockRun(NcPathContext& ctx, StreamReader& reader, BlockLine& line, char* keywords)
      : BlockRunner(ctx, reader, keywords), line_(line) {}

  // Runs the block's statements; returns where the program goes on, or kEnd.
  uint64_t Run(const char* code, size_t length, size_t lineLength);
  size_t KeywordLength() const { return outLength_; }
  // The block after this one in the file.
  uint64_t NextInOrder() const { return next_; }

 private:
  uint64_t RunOWord(const BlockHead& head, uint64_t branchKey);
  uint64_t Goto(const char* at);
  uint64_t RunWords(const char* at);
  uint64_t Call();
  void ReadWords(const char* at);
  bool ReadAssignment(const char*& at);
  void Word(char letter, double value);
  bool Condition(const char*& at, double& value);
  uint64_t AfterLine(uint64_t at);
  uint64_t PastOWord(uint64_t key, FlowWord word);

  // An expression of this block; its place in the file names its compiled form.
  bool Evaluate(const char*& at, bool whole, double& value) {
    const uint64_t key = blockAt_ << 8 | static_cast<uint64_t>(at - text_);
    return EvaluateExpression(eval_.vars, at, end_, whole, value, &eval_.expressions, key);
  }


  BlockLine& line_;

  double letters_[26];           // values of the block's letters (P, L, G65 arguments)
  uint32_t lettersGiven_ = 0;
  CallCode call_ = CallCode::None;
  Assignment assignments_[kMaxAssignments];
  int assignmentCount_ = 0;
};

uint64_t BlockRun::AfterLine(uint64_t at) {
  if (at == kNowhere) return kEnd;
  reader_.Seek(at);
  const StreamReader::Line line = reader_.PeekLine(BlockLine::kLimit);
  reader_.Skip(line.length);
  if (line.length > 0 && line.bytes[line.length - 1] != '\n') reader_.SkipLine();
  return reader_.Position();
}

uint64_t BlockRun::PastOWord(uint64_t key, FlowWord word) {
  return AfterLine(FindOWord(ctx_, reader_, key, Bit(word), next_));
}

// [condition]: one bracketed operand.
bool BlockRun::Condition(const char*& at, double& value) {
  SkipSpaces(at, end_);
  return at < end_ && *at == kIsoMarks.open && Evaluate(at, false, value);
}

void BlockRun::Word(char letter, double value) {
  const int index = letter - 'A';
  letters_[index] = value;
  lettersGiven_ |= 1u << index;
  const CallCode code = CallCodeOf(letter, value);
  if (code != CallCode::None && call_ == CallCode::None) call_ = code;
  const int slot = SlotOf(letter);
  if (slot != SLOT_NONE && line_.plainWords < BlockLine::kMaxPlainWords) {
    line_.plainSlots[line_.plainWords] = static_cast<uint8_t>(slot);
    line_.plainValues[line_.plainWords++] = value;
  }
}

// #n = expression, #[expression] = ..., #<name> = ...: applied when the
// whole block has been read, so that its words see the values before it.
bool BlockRun::ReadAssignment(const char*& at) {
  const char* p = at + 1;
  Assignment a{nullptr, 0, 0, 0};
  if (p < end_ && *p == kIsoMarks.nameOpen) {
    a.name = ++p;
    while (p < end_ && *p != kIsoMarks.nameClose) ++p;
    if (p == end_) return false;
    a.nameLength = static_cast<size_t>(p - a.name);
    ++p;
  } else if (!Evaluate(p, false, a.number)) {
    return false;
  }
  SkipSpaces(p, end_);
  if (p >= end_ || *p != '=') return false;
  ++p;
  if (!Evaluate(p, true, a.value)) return false;
  if (assignmentCount_ < kMaxAssignments) assignments_[assignmentCount_++] = a;
  at = p;
  return true;
}

// Address words and assignments. The code text is copied for the keyword
// scan as it stands, each value from an expression written as a number and
// each vacant word left out with its letter.
void BlockRun::ReadWords(const char* at) {
  while (at < end_) {
    const char c = *at;
    if (c == ';') return;  // a comment to the line's end
    if (c == kIsoMarks.variable) {
      if (!ReadAssignment(at)) return;  // the rest is no statement
      continue;
    }
    if (!IsLetter(c)) {
      Emit(c);
      ++at;
      continue;
    }
    const char letter = Upper(c);
    const size_t letterAt = outLength_;
    Emit(letter);
    ++at;
    const char* p = at;
    SkipSpaces(p, end_);
    const bool sign = p < end_ && (*p == '-' || *p == '+');
    const char after = p + sign < end_ ? p[sign] : '\0';
    double value = 0;
    if (after == kIsoMarks.variable || after == kIsoMarks.open) {
      if (!Evaluate(p, false, value)) return;
      at = p;
      // A value enters a word as a literal number does: within ten digits,
      // rounded to float. A vacant one leaves the word not given.
      if (IsVacant(value) || std::fabs(value) >= 1e10) {
        outLength_ = letterAt;
        continue;
      }
      value = static_cast<double>(static_cast<float>(value));
      // No keyword holds an address letter and digits: for X Y Z I J K R
      // any number of the same sign matches alike (as in DR-5), so "0" or
      // "-0" stands for it. G and F values are keywords themselves.
      if (SlotOf(letter) != SLOT_NONE) {
        if (value < 0) Emit('-');
        Emit('0');
      } else {
        EmitNumber(value);
      }
      Emit(' ');
    } else {
      const auto* q = reinterpret_cast<const uint8_t*>(at);
      const bool number = ReadNumber(q, reinterpret_cast<const uint8_t*>(end_), value);
      for (const char* from = at; from < reinterpret_cast<const char*>(q); ++from) Emit(*from);
      at = reinterpret_cast<const char*>(q);
      if (!number) continue;
    }
    Word(letter, value);
  }
}

uint64_t BlockRun::Goto(const char* at) {
  double value = 0;
  uint64_t n = 0;
  // GOTO LABEL1 of another dialect is no jump of this one: the block is passed.
  if (!Evaluate(at, false, value)) return next_;
  // A jump to a label that is not there ends the program, as the alarm would.
  if (!WholeNumber(value, n)) return kEnd;
  return FindNumberLabel(ctx_, reader_, n, blockAt_, next_);
}

// Calls by M98 and G65: the program O n of this file; one that is not in
// the file draws nothing.
uint64_t BlockRun::Call() {
  const bool macro = call_ == CallCode::MacroCall;
  const uint32_t p = 1u << ('P' - 'A'), l = 1u << ('L' - 'A');
  uint64_t program = 0, repeats = 1;
  if ((lettersGiven_ & p) == 0 || !WholeNumber(letters_['P' - 'A'], program)) return next_;
  if ((lettersGiven_ & l) != 0) {
    if (!WholeNumber(letters_['L' - 'A'], repeats)) return next_;
  } else if (!macro && program > 9999) {
    repeats = program / 10000;  // M98 P31001: three runs of O1001
    program %= 10000;
  }
  if (repeats == 0) return next_;
  const uint64_t at = FindProgram(ctx_, reader_, program);
  if (at == kNowhere) return eval_.blocksLeft > 0 ? next_ : kEnd;
  CallFrame frame{};
  frame.returnAt = next_;
  frame.bodyAt = AfterLine(at);
  frame.repeats = static_cast<uint32_t>(repeats < UINT32_MAX ? repeats : UINT32_MAX);
  if (!PushCall(eval_, frame, macro)) return kEnd;
  if (macro) {
    double* locals = Locals(eval_.vars);
    for (const ArgumentLetter& a : kMacroArguments) {
      if ((lettersGiven_ >> (a.letter - 'A') & 1u) != 0) locals[a.local] = letters_[a.letter - 'A'];
    }
  }
  eval_.programAt = at;
  return frame.bodyAt;
}

uint64_t BlockRun::RunWords(const char* at) {
  ReadWords(at);
  for (int k = 0; k < assignmentCount_; ++k) {
    const Assignment& a = assignments_[k];
    if (a.name != nullptr) {
      WriteNamed(eval_.vars, a.name, a.nameLength, a.value);
    } else if (!WriteNumbered(eval_.vars, a.number, a.value)) {
      return kEnd;  // #3000: an alarm
    }
  }
  switch (call_) {
    case CallCode::ProgramEnd:
      // After a call the subprograms follow the main program's end.
      return eval_.called ? kEnd : next_;
    case CallCode::Return:
      return eval_.depth > 0 ? ReturnFromCall(eval_) : kEnd;
    case CallCode::SubCall:
      return Call();
    case CallCode::MacroCall:
      line_.plainWords = 0;  // its letters are arguments, not words
      outLength_ = 0;
      return Call();
    case CallCode::None:
      break;
  }
  return next_;
}

uint64_t BlockRun::RunOWord(const BlockHead& head, uint64_t branchKey) {
  const uint64_t key = head.oKey;
  const char* at = head.rest;
  double value = 0;
  switch (head.oWord) {
    case FlowWord::Sub:  // a definition runs only through its calls
      return PastOWord(key, FlowWord::EndSub);
    case FlowWord::EndSub:
    case FlowWord::Return:
      if (Condition(at, value)) WriteNamed(eval_.vars, "_value", 6, value);
      return eval_.depth > 0 ? ReturnFromCall(eval_) : next_;
    case FlowWord::Call: {
      double arguments[kMaxCallArguments];
      int count = 0;
      while (count < kMaxCallArguments && Condition(at, arguments[count])) ++count;
      const uint64_t sub = FindOWord(ctx_, reader_, key, Bit(FlowWord::Sub), 0);
      if (sub == kNowhere) return eval_.blocksLeft > 0 ? next_ : kEnd;  // not in this file
      CallFrame frame{};
      frame.returnAt = next_;
      frame.bodyAt = AfterLine(sub);
      frame.repeats = 1;
      frame.oWord = true;
      if (!PushCall(eval_, frame, true)) return kEnd;
      double* locals = Locals(eval_.vars);
      for (int k = 0; k < count; ++k) locals[k + 1] = arguments[k];
      return frame.bodyAt;
    }
    case FlowWord::If:
    case FlowWord::ElseIf:
    case FlowWord::Else:
      if (head.oWord != FlowWord::If && branchKey != key) {
        return PastOWord(key, FlowWord::EndIf);  // the branch before ran
      }
      if (head.oWord == FlowWord::Else || (Condition(at, value) && Truth(value))) return next_;
      // To the next branch, entered as a branch.
      eval_.branchKey = key;
      return FindOWord(ctx_, reader_, key,
                       Bit(FlowWord::ElseIf) | Bit(FlowWord::Else) | Bit(FlowWord::EndIf), next_);
    case FlowWord::EndIf:
      return next_;
    case FlowWord::While: {
      const bool holds = Condition(at, value) && Truth(value);
      if (LoopRecord* tail = FindLoop(eval_, LoopKind::ODo, key)) {  // do ... while
        if (holds) return tail->at;
        CloseLoop(eval_, tail);
        return next_;
      }
      if (holds) return OpenLoop(eval_, LoopKind::OWhile, key, blockAt_, 0) ? next_ : kEnd;
      CloseLoop(eval_, FindLoop(eval_, LoopKind::OWhile, key));
      return PastOWord(key, FlowWord::EndWhile);
    }
    case FlowWord::EndWhile: {
      const LoopRecord* loop = FindLoop(eval_, LoopKind::OWhile, key);
      return loop != nullptr ? loop->at : next_;
    }
    case FlowWord::Do:
      return OpenLoop(eval_, LoopKind::ODo, key, next_, 0) ? next_ : kEnd;
    case FlowWord::Repeat: {
      uint64_t count = 0;
      if (Condition(at, value) && WholeNumber(value, count) && count > 0) {
        const auto runs = static_cast<uint32_t>(count < UINT32_MAX ? count : UINT32_MAX);
        return OpenLoop(eval_, LoopKind::ORepeat, key, next_, runs) ? next_ : kEnd;
      }
      return PastOWord(key, FlowWord::EndRepeat);
    }
    case FlowWord::EndRepeat:
    case FlowWord::Continue: {
      LoopRecord* loop = FindAnyLoop(eval_, key);
      if (loop == nullptr) return next_;
      if (loop->kind == LoopKind::OWhile) return loop->at;  // the while line decides
      if (loop->kind == LoopKind::ODo) {
        return FindOWord(ctx_, reader_, key, Bit(FlowWord::While), next_);
      }
      if (loop->count > 1) {
        --loop->count;
        return loop->at;
      }
      CloseLoop(eval_, loop);
      return head.oWord == FlowWord::EndRepeat ? next_ : PastOWord(key, FlowWord::EndRepeat);
    }
    case FlowWord::Break: {
      const LoopRecord* loop = FindAnyLoop(eval_, key);
      if (loop == nullptr) return next_;
      const LoopKind kind = loop->kind;
      CloseLoop(eval_, loop);
      return PastOWord(key, kind == LoopKind::OWhile   ? FlowWord::EndWhile
                            : kind == LoopKind::ORepeat ? FlowWord::EndRepeat
                                                        : FlowWord::While);
    }
    default:
      return next_;
  }
}

uint64_t BlockRun::Run(const char* code, size_t length, size_t lineLength) {
  std::memcpy(text_, code, length);
  end_ = text_ + length;
  blockAt_ = reader_.Position();
  next_ = blockAt_ + lineLength;
  line_.plainWords = 0;

  BlockHead head;
  ReadHead(text_, end_, head);
  const uint64_t branchKey = eval_.branchKey;
  eval_.branchKey = 0;
  if (head.oWord != FlowWord::None) return RunOWord(head, branchKey);

  const char* at = head.rest;
  size_t run = 0;
  const FlowWord statement = IsoFlowWord(at, end_, run);
  const char* after = at + run;
  // The keyword after a condition: GOTO or THEN after IF, DO after WHILE.
  const auto nextWord = [&]() {
    SkipSpaces(after, end_);
    const FlowWord word = IsoFlowWord(after, end_, run);
    after += run;
    return word;
  };
  double value = 0;
  uint64_t m = 0;
  switch (statement) {
    case FlowWord::If: {
      if (!Condition(after, value)) return next_;
      const FlowWord then = nextWord();
      if (!Truth(value)) return next_;
      if (then == FlowWord::Goto) return Goto(after);
      return then == FlowWord::Then ? RunWords(after) : next_;
    }
    case FlowWord::Goto:
      return Goto(after);
    case FlowWord::While: {
      const bool holds = Condition(after, value) && Truth(value);
      if (nextWord() != FlowWord::Do) return next_;
      SkipSpaces(after, end_);
      if (!Evaluate(after, false, value) || !WholeNumber(value, m))
        return next_;
      if (holds) return OpenLoop(eval_, LoopKind::DoEnd, m, blockAt_, 0) ? next_ : kEnd;
      CloseLoop(eval_, FindLoop(eval_, LoopKind::DoEnd, m));
      return AfterLine(FindLoopEnd(ctx_, reader_, m, next_));
    }
    case FlowWord::Do:
      SkipSpaces(after, end_);
      if (!Evaluate(after, false, value) || !WholeNumber(value, m))
        return next_;
      return OpenLoop(eval_, LoopKind::DoEnd, m, blockAt_, 0) ? next_ : kEnd;
    case FlowWord::End: {
      SkipSpaces(after, end_);
      if (!Evaluate(after, false, value) || !WholeNumber(value, m))
        return next_;
      const LoopRecord* loop = FindLoop(eval_, LoopKind::DoEnd, m);
      return loop != nullptr ? loop->at : next_;
    }
    default:
      return RunWords(at);
  }
}

}  // namespace

bool NeedsEvaluation(Evaluation& eval, const char* code, size_t length) {
  if (eval.tncProgram) return NeedsTncEvaluation(eval, code, length);
  if (eval.sinumerik) return SinumerikNeedsEvaluation(code, length);
  const char* const end = code + length;
  // A Sinumerik program header, %_N_PART_MPF: the dialect from here on.
  if (length >= 4 && code[0] == '%' && code[1] == '_' && Upper(code[2]) == 'N' && code[3] == '_') {
    eval.sinumerik = true;
    return true;
  }
  BlockHead head;
  ReadHead(code, end, head);
  if (head.oWord != FlowWord::None) return true;
  for (const char* p = code; p < end;) {
    const char c = *p;
    if (c == kIsoMarks.variable || c == kIsoMarks.open) return true;
    if (!IsLetter(c)) {
      ++p;
      continue;
    }
    size_t n = 0;
    const uint64_t word = PackedRun(p, end, n);
    const char* after = p + n;
    const char letter = Upper(c);
    if ((letter == 'R' || n > 1) && MarksSinumerik(word, p, n, end, head.rest)) {
      eval.sinumerik = true;  // R1=10, CR=, ENDIF, GOTOF, DEF: from this block on
      return true;
    }
    if (n == 1) {
      // An address word: M98, M99 and G65 call or return; M2 and M30 end
      // the program after a call.
      if ((letter != 'G' && letter != 'M') || after >= end || !IsDigit(*after)) {
        p = after;
        continue;
      }
      int number = 0;
      for (; after < end && IsDigit(*after); ++after) number = number < 1000 ? number * 10 + (*after - '0') : number;
      const CallCode call = CallCodeOf(letter, number);
      if (call == CallCode::ProgramEnd ? eval.called : call != CallCode::None) return true;
    } else if (word == PackWord("BEGIN")) {
      // A TNC program: its blocks are not ISO statements.
      const char* q = after;
      SkipSpaces(q, end);
      if (end - q >= 3 && std::strncmp(q, "PGM", 3) == 0) {
        eval.tncProgram = true;
        return false;
      }
    } else {
      const FlowWord flow = FindFlowWord(word, Dialect::Iso);
      if (flow == FlowWord::If || flow == FlowWord::Goto || flow == FlowWord::While) return true;
      if (flow == FlowWord::Do || flow == FlowWord::End) {
        const char* q = after;
        SkipSpaces(q, end);
        if (q < end && IsDigit(*q)) return true;  // DO1, END 1; not END PGM
      }
    }
    p = after;
  }
  return false;
}

size_t EvaluateBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                     size_t lineLength, BlockLine& line, char* keywords) {
  Evaluation& eval = ctx.eval;
  if (!eval.used) {
    // The pass's first evaluated block: a plain program never pays for this.
    eval.used = true;
    eval.compiledKept = true;
    std::memset(eval.labels, 0, sizeof eval.labels);
    ClearVariables(eval.vars);
  }
  uint64_t next = kEnd, nextInOrder = reader.Position() + lineLength;
  size_t keywordLength = 0;
  if (eval.tncProgram) {
    next = RunTncBlock(ctx, reader, code, length, lineLength, keywords, keywordLength);
    line.plainWords = 0;  // the scanner makes a line of the text when it holds any
  } else if (eval.sinumerik) {
    // It tells where the block after it in the file stands, too.
    keywordLength = RunSinumerikBlock(ctx, reader, code, length, lineLength, line, keywords, next,
                                      nextInOrder);
  } else {
    BlockRun run(ctx, reader, line, keywords);
    next = run.Run(code, length, lineLength);
    keywordLength = run.KeywordLength();
  }
  if (next == kEnd) {
    reader.Seek(reader.Size());  // nothing left to read: the pass ends
  } else {
    // Only a jump back can run blocks again: from the first one on, every
    // block spends the budget (see the driver). A program that only skips
    // forward is bounded by its file.
    if (next < nextInOrder) eval.counting = true;
    reader.Seek(next);
  }
  // The words are read from `line`, not from the reader.
  line.bytes = nullptr;
  line.length = 0;
  line.groups = 0;
  keywords[keywordLength] = '\0';
  return keywordLength;
}
