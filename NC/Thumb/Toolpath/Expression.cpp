// Expressions of parametric programs, read by operator precedence with an
// explicit value stack and operator stack: no recursion, whatever the
// nesting. Brackets, functions and operators come from DialectTables.h.
// Every result that is not a finite number is vacant (NaN); a vacant operand
// makes the arithmetic vacant, comparisons and logic read it as the
// controls do (EQ and NE tell vacant from 0, the others take it as 0).
#include <cmath>

#include "Evaluation.h"
#include "TextChars.h"

namespace {

// The rows of the symbol operators, which FindOperator picks by their byte.
constexpr int kPowerRow = 0, kMultiplyRow = 1, kDivideRow = 2, kAddRow = 4, kSubtractRow = 5;
static_assert(kOperators[kPowerRow].op == Operator::Power && kOperators[kMultiplyRow].op == Operator::Multiply &&
                  kOperators[kDivideRow].op == Operator::Divide && kOperators[kAddRow].op == Operator::Add &&
                  kOperators[kSubtractRow].op == Operator::Subtract,
              "FindOperator follows the operator table");
constexpr int kStackSize = 64;  // operands and open operators; a line holds fewer
constexpr double kDegree = 3.141592653589793 / 180.0;

constexpr int kCaretRow = 15;
static_assert(kOperators[kCaretRow].op == Operator::Power && kOperators[kCaretRow].name[0] == '^',
              "FindOperator follows the operator table");
// A Sinumerik operator at `at`: a word (AND, DIV), or a symbol of its table.
const OperatorName* FindSinumerikOperator(const char* at, const char* end, size_t& length) {
  if (at >= end) return nullptr;
  if (IsLetter(*at)) return FindSinumerikWordOperator(PackedRun(at, end, length));
  for (const OperatorName& op : kSinumerikOperators) {
    const char* name = op.name;
    if (IsLetter(name[0])) continue;
    size_t n = 0;
    while (name[n] != '\0' && at + n < end && at[n] == name[n]) ++n;
    if (name[n] == '\0') {
      length = n;
      return &op;
    }
  }
  return nullptr;
}

// The operator at `at`, and its length; null when there is none.
const OperatorName* FindOperator(const char* at, const char* end, Dialect dialect, size_t& length) {
  if (at >= end) return nullptr;
  if (IsLetter(*at)) return FindWordOperator(PackedRun(at, end, length), dialect);
  length = 1;
  const bool iso = (DialectBit(dialect) & kIsoDialects) != 0;
  switch (*at) {
    case '*':
      if (iso && at + 1 < end && at[1] == '*') {
        length = 2;
        return &kOperators[kPowerRow];
      }
      return &kOperators[kMultiplyRow];
    case '^': return iso ? nullptr : &kOperators[kCaretRow];
    case '/': return &kOperators[kDivideRow];
    case '+': return &kOperators[kAddRow];
    case '-': return &kOperators[kSubtractRow];
    default: return nullptr;
  }
}

// A plain decimal number: digits with an optional point ("40.", ".5").
bool ReadDecimal(const char*& at, const char* end, double& value) {
  const char* p = at;
  double v = 0;
  bool any = false;
  for (; p < end && IsDigit(*p); ++p, any = true) v = v * 10 + (*p - '0');
  if (p < end && *p == '.') {
    double scale = 0.1;
    for (++p; p < end && IsDigit(*p); ++p, any = true, scale *= 0.1) v += (*p - '0') * scale;
  }
  if (!any) return false;
  at = p;
  value = v;
  return true;
}

double Finite(double v) { return std::isfinite(v) ? v : VacantValue(); }
double Truth(double v) { return !IsVacant(v) && v != 0 ? 1.0 : 0.0; }
double AsNumber(double v) { return IsVacant(v) ? 0.0 : v; }

double Apply(Operator op, double a, double b) {
  switch (op) {
    case Operator::Equal: return (IsVacant(a) && IsVacant(b)) || a == b ? 1.0 : 0.0;
    case Operator::NotEqual: return (IsVacant(a) && IsVacant(b)) || a == b ? 0.0 : 1.0;
    case Operator::Greater: return AsNumber(a) > AsNumber(b) ? 1.0 : 0.0;
    case Operator::GreaterEqual: return AsNumber(a) >= AsNumber(b) ? 1.0 : 0.0;
    case Operator::Less: return AsNumber(a) < AsNumber(b) ? 1.0 : 0.0;
    case Operator::LessEqual: return AsNumber(a) <= AsNumber(b) ? 1.0 : 0.0;
    case Operator::And: return Truth(a) * Truth(b);
    case Operator::Or: return Truth(a) + Truth(b) > 0 ? 1.0 : 0.0;
    case Operator::Xor: return Truth(a) != Truth(b) ? 1.0 : 0.0;
    case Operator::Power: return Finite(std::pow(a, b));
    case Operator::Multiply: return Finite(a * b);
    case Operator::Divide: return b == 0 ? VacantValue() : Finite(a / b);
    case Operator::Modulo: return b == 0 ? VacantValue() : Finite(std::fmod(a, b));
    case Operator::IntDivide: return b == 0 ? VacantValue() : Finite(std::trunc(a / b));
    case Operator::Add: return Finite(a + b);
    case Operator::Subtract: return Finite(a - b);
    case Operator::None: break;
  }
  return VacantValue();
}

double Call(Function f, double x) {
  switch (f) {
    case Function::Sin: return Finite(std::sin(x * kDegree));
    case Function::Cos: return Finite(std::cos(x * kDegree));
    case Function::Tan: return Finite(std::tan(x * kDegree));
    case Function::Asin: return Finite(std::asin(x) / kDegree);
    case Function::Acos: return Finite(std::acos(x) / kDegree);
    case Function::Atan: return Finite(std::atan(x) / kDegree);
    case Function::Sqrt: return x < 0 ? VacantValue() : Finite(std::sqrt(x));
    case Function::Abs: return std::fabs(x);
    case Function::Round: return std::round(x);
    case Function::Fix: return std::floor(x);
    case Function::Fup: return std::ceil(x);
    case Function::Ln: return x <= 0 ? VacantValue() : Finite(std::log(x));
    case Function::Exp: return Finite(std::exp(x));
    case Function::Square: return Finite(x * x);
    case Function::Integer: return std::trunc(x);
    case Function::Fraction: return x - std::trunc(x);
    case Function::Sign: return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0;
    case Function::Pi:
    case Function::Power2: return Finite(x * x);
    case Function::Trunc: return std::trunc(x);
    case Function::Atan2: return VacantValue();  // one argument of two (see CloseBracket)
    case Function::Exists:
    case Function::None: break;
  }
  return x;  // a bare bracket
}

// Entries of the operator stack.
enum class Pending : uint8_t {
  Open,       // "[", with the function it belongs to (or none)
  SecondArg,  // "[" of ATAN[a]/[b]'s b; the value below it is a
  Negate,     // unary minus
  Not,        // Sinumerik NOT: 1 for a false operand, 0 for a true one
  Variable,   // "#": the value that follows is a variable number
  Prefix,     // a TNC function before its operand: SIN Q1
  Binary,
};

struct Entry {
  Pending kind;
  Function function;
  const OperatorName* op;
};

// Steps of a compiled expression.
enum Step : uint8_t {
  kNumber, kNamed, kExists, kNegate, kVariable, kBinary, kFunction, kAtan2, kRParameter, kNot
};

class Evaluator {
 public:
  Evaluator(const Variables& vars, const char* start, const char* end, CompiledExpression* record,
            Dialect dialect)
      : vars_(vars), start_(start), end_(end), record_(record), dialect_(dialect),
        syntax_(SyntaxOf(dialect)), marks_(syntax_.marks), sinumerik_(dialect == Dialect::Sinumerik) {}

  bool Run(const char*& at, bool whole, double& value);

 private:
  // Notes a step for the compiled form; one that does not fit leaves none.
  void Record(Step kind, uint8_t code = 0, double v = 0, const char* name = nullptr, size_t length = 0) {
    if (record_ == nullptr) return;
    if (record_->steps == kCompiledSteps) {
      record_->steps = 0;  // too long to keep
      record_ = nullptr;
      return;
    }
    ExpressionStep& step = record_->step[record_->steps++];
    step.kind = kind;
    step.code = code;
    step.value = v;
    step.offset = static_cast<uint16_t>(name != nullptr ? name - start_ : 0);
    step.length = static_cast<uint16_t>(length);
  }

  bool PushValue(double v) {
    if (values_ == kStackSize) return false;
    value_[values_++] = v;
    return true;
  }
  bool PushEntry(Entry e) {
    if (entries_ == kStackSize) return false;
    entry_[entries_++] = e;
    open_ += e.kind == Pending::Open || e.kind == Pending::SecondArg;
    return true;
  }
  // An operand is complete: the unary operators before it apply now.
  void ApplyUnary() {
    while (entries_ > 0) {
      const Entry& e = entry_[entries_ - 1];
      double& top = value_[values_ - 1];
      if (e.kind == Pending::Negate) {
        top = -top;
        Record(kNegate);
      } else if (e.kind == Pending::Variable) {
        top = ReadNumbered(vars_, top);
        Record(kVariable);
      } else if (e.kind == Pending::Prefix) {
        top = Call(e.function, top);
        Record(kFunction, static_cast<uint8_t>(e.function));
      } else if (e.kind == Pending::Not) {
        top = 1.0 - Truth(top);
        Record(kNot);
      } else {
        return;
      }
      --entries_;
    }
  }
  // Applies the binary operators on top that bind at least as tightly.
  void Reduce(int precedence) {
    while (entries_ > 0 && entry_[entries_ - 1].kind == Pending::Binary &&
           entry_[entries_ - 1].op->precedence >= precedence) {
      const OperatorName* op = entry_[--entries_].op;
      const double b = value_[--values_];
      double& a = value_[values_ - 1];
      a = Apply(op->op, a, b);
      Record(kBinary, static_cast<uint8_t>(op->op));
    }
  }
  bool OpenBrackets() const { return open_ > 0; }
  bool ReadOperand(const char*& at);
  bool CloseBracket(const char*& at);
  bool ReadNamedVariable(const char*& at, double& v, bool* exists);
  int ReadSinumerikName(const char*& at);
  bool SecondArgument(const char*& at);

  const Variables& vars_;
  const char* start_;
  const char* end_;
  CompiledExpression* record_;
  Dialect dialect_;
  const ExpressionSyntax& syntax_;
  const Punctuation& marks_;
  bool sinumerik_;
  double value_[kStackSize];
  Entry entry_[kStackSize];
  int values_ = 0, entries_ = 0;
  int open_ = 0;  // brackets open among the entries
};

// #<name>: `at` stands on "<".
bool Evaluator::ReadNamedVariable(const char*& at, double& v, bool* exists) {
  const char* name = at + 1;
  const char* p = name;
  while (p < end_ && *p != marks_.nameClose) ++p;
  if (p == end_) return false;
  v = ReadNamed(vars_, name, static_cast<size_t>(p - name), exists);
  Record(exists != nullptr ? kExists : kNamed, 0, 0, name, static_cast<size_t>(p - name));
  at = p + 1;
  return true;
}

// Reads what may start an operand: a number, a named variable, a function,
// or the prefixes "-", "+", "#" and "[". True when an operand value was
// pushed (it is complete); false with `at` unchanged when nothing fits.
bool Evaluator::ReadOperand(const char*& at) {
  for (;;) {
    SkipSpaces(at, end_);
    if (at >= end_) return false;
    const char c = *at;
    double v = 0;
    if (c == '-' || c == '+') {
      if (c == '-' && !PushEntry({Pending::Negate, Function::None, nullptr})) return false;
      ++at;
    } else if (sinumerik_ && (IsLetter(c) || c == '_')) {
      const int read = ReadSinumerikName(at);
      if (read >= 0) return read == 1;  // -1: a function's bracket opened
    } else if (c == marks_.variable && c != '\0' && !sinumerik_) {
      ++at;
      if (at < end_ && *at == marks_.nameOpen) return ReadNamedVariable(at, v, nullptr) && PushValue(v);
      if (!PushEntry({Pending::Variable, Function::None, nullptr})) return false;
    } else if (c == marks_.open) {
      ++at;
      if (!PushEntry({Pending::Open, Function::None, nullptr})) return false;
    } else if (IsDigit(c) || c == '.') {
      if (!ReadDecimal(at, end_, v)) return false;
      Record(kNumber, 0, v);
      return PushValue(v);
    } else if (IsLetter(c)) {
      if (syntax_.parameterFamilies && ReadTncParameter(at, end_, v)) {
        // Q1: the variable's number, then its value, as #1 is read.
        Record(kNumber, 0, v);
        if (!PushValue(ReadNumbered(vars_, v))) return false;
        Record(kVariable);
        return true;
      }
      size_t length = 0;
      const Function f = FindFunction(PackedRun(at, end_, length), dialect_);
      if (syntax_.prefixFunctions) {
        if (f == Function::None) return false;
        at += length;
        if (f == Function::Pi) {
          Record(kNumber, 0, 3.141592653589793);
          return PushValue(3.141592653589793);
        }
        if (!PushEntry({Pending::Prefix, f, nullptr})) return false;
        continue;
      }
      const char* p = at + length;
      SkipSpaces(p, end_);
      if (f == Function::None || p >= end_ || *p != marks_.open) return false;
      at = p + 1;
      if (f == Function::Exists) {
        // EXISTS[#<name>]: whether the name is set.
        SkipSpaces(at, end_);
        bool exists = false;
        if (end_ - at < 2 || at[0] != marks_.variable || at[1] != marks_.nameOpen) return false;
        ++at;
        if (!ReadNamedVariable(at, v, &exists)) return false;
        SkipSpaces(at, end_);
        if (at >= end_ || *at != marks_.close) return false;
        ++at;
        return PushValue(exists ? 1.0 : 0.0);
      }
      if (!PushEntry({Pending::Open, f, nullptr})) return false;
    } else {
      return false;
    }
  }
}

// A Sinumerik name at `at`: R1 (a parameter), a function and its "(", or
// a variable (DEF REAL LEN). 1: a value was pushed; -1: a function's
// bracket was opened (an operand follows); 0: no operand.
int Evaluator::ReadSinumerikName(const char*& at) {
  size_t length = 0;
  const uint64_t word = PackedName(at, end_, length);
  const char* p = at + length;
  if (Upper(*at) == marks_.variable && length > 1) {
    bool digits = true;
    double number = 0;
    for (const char* d = at + 1; d < p; ++d) {
      digits = digits && IsDigit(*d);
      number = number * 10 + (*d - '0');
    }
    if (digits) {
      at = p;
      Record(kRParameter, 0, number);
      return PushValue(ReadR(vars_, number)) ? 1 : 0;
    }
  }
  if (word == kSinumerikNot) {
    at = p;
    return PushEntry({Pending::Not, Function::None, nullptr}) ? -1 : 0;
  }
  const Function f = FindSinumerikFunction(word);
  SkipSpaces(p, end_);
  if (f != Function::None && p < end_ && *p == marks_.open) {
    at = p + 1;
    return PushEntry({Pending::Open, f, nullptr}) ? -1 : 0;
  }
  if (FindSinumerikWordOperator(word) != nullptr || (p < end_ && *p == marks_.open)) return 0;
  const double v = ReadNamed(vars_, at, length);
  Record(kNamed, 0, 0, at, length);
  at += length;
  return PushValue(v) ? 1 : 0;
}

// "," in ATAN2(y, x): y is complete, x follows as a second argument.
bool Evaluator::SecondArgument(const char*& at) {
  Reduce(0);
  if (entries_ == 0 || entry_[entries_ - 1].kind != Pending::Open ||
      entry_[entries_ - 1].function != Function::Atan2)
    return false;
  --entries_;
  --open_;
  ++at;
  return PushEntry({Pending::SecondArg, Function::None, nullptr});
}

// "]": the bracket's expression is complete. ATAN[a] followed by /[b]
// becomes the two-argument arctangent.
bool Evaluator::CloseBracket(const char*& at) {
  Reduce(0);
  if (entries_ == 0) return false;
  const Entry open = entry_[--entries_];
  --open_;
  ++at;
  double& top = value_[values_ - 1];
  if (open.kind == Pending::SecondArg) {
    const double x = top;
    --values_;
    value_[values_ - 1] = Finite(std::atan2(value_[values_ - 1], x) / kDegree);
    Record(kAtan2);
  } else if (open.function == Function::Atan) {
    const char* p = at;
    SkipSpaces(p, end_);
    if (p < end_ && *p == '/') {
      ++p;
      SkipSpaces(p, end_);
      if (p < end_ && *p == marks_.open) {
        at = p + 1;
        return PushEntry({Pending::SecondArg, Function::None, nullptr});
      }
    }
    top = Call(open.function, top);
    Record(kFunction, static_cast<uint8_t>(open.function));
  } else if (open.function != Function::None) {
    top = Call(open.function, top);
    Record(kFunction, static_cast<uint8_t>(open.function));
  }
  ApplyUnary();
  return true;
}

bool Evaluator::Run(const char*& at, bool whole, double& value) {
  const char* p = at;
  // Each step consumes at least one byte or ends, so the loop ends by `end_`.
  for (;;) {
    if (!ReadOperand(p)) {
      // A bracket or prefix just opened waits for an operand that is not
      // there, or an operator has none after it: no expression.
      return false;
    }
    ApplyUnary();
    // Operators and closing brackets until the next operand is due.
    for (;;) {
      SkipSpaces(p, end_);
      if (p < end_ && *p == marks_.close && OpenBrackets()) {
        if (!CloseBracket(p)) return false;
        if (entries_ > 0 && entry_[entries_ - 1].kind == Pending::SecondArg) break;
        continue;
      }
      if (sinumerik_ && p < end_ && *p == ',' && OpenBrackets()) {
        if (!SecondArgument(p)) return false;
        break;
      }
      size_t length = 0;
      const OperatorName* op = nullptr;
      // One operand only (a word's value): done once it is complete.
      if (whole || OpenBrackets())
        op = sinumerik_ ? FindSinumerikOperator(p, end_, length) : FindOperator(p, end_, dialect_, length);
      if (op == nullptr) {
        if (OpenBrackets()) return false;  // "[" never closed
        Reduce(0);
        value = value_[0];
        at = p;
        return values_ == 1;
      }
      // ** binds right to left, the others left to right.
      Reduce(op->op == Operator::Power ? op->precedence + 1 : op->precedence);
      if (!PushEntry({Pending::Binary, Function::None, op})) return false;
      p += length;
      break;
    }
  }
}

// Evaluates a compiled expression whose text starts at `start`.
double RunCompiled(const Variables& vars, const CompiledExpression& compiled, const char* start) {
  double stack[kCompiledSteps];  // each step pushes at most one value
  int n = 0;
  for (int k = 0; k < compiled.steps; ++k) {
    const ExpressionStep& step = compiled.step[k];
    switch (step.kind) {
      case kNumber: stack[n++] = step.value; break;
      case kNamed: stack[n++] = ReadNamed(vars, start + step.offset, step.length); break;
      case kExists: {
        bool exists = false;
        ReadNamed(vars, start + step.offset, step.length, &exists);
        stack[n++] = exists ? 1.0 : 0.0;
        break;
      }
      case kNegate: stack[n - 1] = -stack[n - 1]; break;
      case kNot: stack[n - 1] = 1.0 - Truth(stack[n - 1]); break;
      case kVariable: stack[n - 1] = ReadNumbered(vars, stack[n - 1]); break;
      case kBinary:
        --n;
        stack[n - 1] = Apply(static_cast<Operator>(step.code), stack[n - 1], stack[n]);
        break;
      case kFunction: stack[n - 1] = Call(static_cast<Function>(step.code), stack[n - 1]); break;
      case kAtan2:
        --n;
        stack[n - 1] = Finite(std::atan2(stack[n - 1], stack[n]) / kDegree);
        break;
      case kRParameter: stack[n++] = ReadR(vars, step.value); break;
    }
  }
  return stack[0];
}

}  // namespace

double ApplyOperator(Operator op, double a, double b) { return Apply(op, a, b); }
double ApplyFunction(Function f, double x) { return Call(f, x); }

bool ReadTncParameter(const char*& at, const char* end, double& number) {
  size_t length = 0;
  const VariableFamily* family = FindParameterFamily(PackedRun(at, end, length));
  const char* p = at + length;
  if (family == nullptr || p >= end || !IsDigit(*p)) return false;
  int n = 0;
  for (; p < end && IsDigit(*p); ++p) n = n < 100000 ? n * 10 + (*p - '0') : n;
  at = p;
  // A number past the family's end names no variable: #0, always vacant.
  number = n < family->count ? family->first + n : 0;
  return true;
}

bool EvaluateExpression(const Variables& vars, const char*& at, const char* end, bool whole,
                        double& value, ExpressionCache* cache, uint64_t key, Dialect dialect) {
  CompiledExpression* slot = nullptr;
  if (cache != nullptr) {
    slot = &cache->slot[(key * 0x9E3779B97F4A7C15ull) >> 58];  // 64 slots
    static_assert(kCompiledExpressions == 64, "the slot is the top six bits");
    if (slot->steps != 0 && slot->key == key) {
      value = RunCompiled(vars, *slot, at);
      at += slot->length;
      return true;
    }
    slot->steps = 0;
  }
  Evaluator evaluator(vars, at, end, slot, dialect);
  value = VacantValue();
  const char* const start = at;
  if (!evaluator.Run(at, whole, value)) {
    if (slot != nullptr) slot->steps = 0;
    return false;
  }
  if (slot != nullptr && slot->steps != 0) {
    slot->key = key;
    slot->length = static_cast<uint16_t>(at - start);
  }
  return true;
}
