// Expressions of parametric programs, read by operator precedence with an
// explicit value stack and operator stack: no recursion, whatever the
// nesting. Brackets, functions and operators come from DialectTables.h.
// Every result that is not a finite number is vacant (NaN); a vacant operand
// makes the arithmetic vacant, comparisons and logic read it as the
// controls do (EQ and NE tell vacant from 0, the others take it as 0).
#include <cmath>

#include "Evaluation.h"

namespace {

constexpr int kStackSize = 64;  // operands and open operators; a line holds fewer
constexpr double kDegree = 3.141592653589793 / 180.0;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipSpaces(const char*& at, const char* end) {
  while (at < end && (*at == ' ' || *at == '\t')) ++at;
}

// The run of letters at `at`, upper case, at most 7 of them (longer runs are
// no name of the tables).
size_t LetterRun(const char* at, const char* end, char (&word)[8]) {
  size_t n = 0;
  while (at + n < end && IsLetter(at[n])) {
    if (n < 7) word[n] = Upper(at[n]);
    ++n;
  }
  word[n < 7 ? n : 7] = '\0';
  return n;
}

bool SameName(const char* word, const char* name) {
  for (; *name != '\0'; ++word, ++name)
    if (*word != *name) return false;
  return *word == '\0';
}

Function FindFunction(const char* word) {
  for (const FunctionName& f : kFunctions)
    if (SameName(word, f.name)) return f.function;
  return Function::None;
}

// The operator at `at`, and its length; Operator::None when there is none.
const OperatorName* FindOperator(const char* at, const char* end, size_t& length) {
  if (at >= end) return nullptr;
  if (IsLetter(*at)) {
    char word[8];
    length = LetterRun(at, end, word);
    for (const OperatorName& o : kOperators)
      if (IsLetter(o.name[0]) && SameName(word, o.name)) return &o;
    return nullptr;
  }
  const OperatorName* best = nullptr;
  for (const OperatorName& o : kOperators) {
    if (IsLetter(o.name[0])) continue;
    size_t n = 0;
    while (o.name[n] != '\0' && at + n < end && at[n] == o.name[n]) ++n;
    if (o.name[n] == '\0' && (best == nullptr || n > length)) {
      best = &o;
      length = n;
    }
  }
  return best;
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
  Variable,   // "#": the value that follows is a variable number
  Binary,
};

struct Entry {
  Pending kind;
  Function function;
  const OperatorName* op;
};

class Evaluator {
 public:
  Evaluator(const Variables& vars, const char* end) : vars_(vars), end_(end) {}

  bool Run(const char*& at, bool whole, double& value);

 private:
  bool PushValue(double v) {
    if (values_ == kStackSize) return false;
    value_[values_++] = v;
    return true;
  }
  bool PushEntry(Entry e) {
    if (entries_ == kStackSize) return false;
    entry_[entries_++] = e;
    return true;
  }
  // An operand is complete: the unary operators before it apply now.
  void ApplyUnary() {
    while (entries_ > 0) {
      const Entry& e = entry_[entries_ - 1];
      double& top = value_[values_ - 1];
      if (e.kind == Pending::Negate) {
        top = -top;
      } else if (e.kind == Pending::Variable) {
        top = ReadNumbered(vars_, top);
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
    }
  }
  bool OpenBrackets() const {
    for (int k = 0; k < entries_; ++k)
      if (entry_[k].kind == Pending::Open || entry_[k].kind == Pending::SecondArg) return true;
    return false;
  }
  bool ReadOperand(const char*& at);
  bool CloseBracket(const char*& at);
  bool ReadNamedVariable(const char*& at, double& v, bool* exists);

  const Variables& vars_;
  const char* end_;
  double value_[kStackSize];
  Entry entry_[kStackSize];
  int values_ = 0, entries_ = 0;
};

// #<name>: `at` stands on "<".
bool Evaluator::ReadNamedVariable(const char*& at, double& v, bool* exists) {
  const char* name = at + 1;
  const char* p = name;
  while (p < end_ && *p != '>') ++p;
  if (p == end_) return false;
  v = ReadNamed(vars_, name, static_cast<size_t>(p - name), exists);
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
    } else if (c == '#') {
      ++at;
      if (at < end_ && *at == '<') return ReadNamedVariable(at, v, nullptr) && PushValue(v);
      if (!PushEntry({Pending::Variable, Function::None, nullptr})) return false;
    } else if (c == '[') {
      ++at;
      if (!PushEntry({Pending::Open, Function::None, nullptr})) return false;
    } else if (IsDigit(c) || c == '.') {
      return ReadDecimal(at, end_, v) && PushValue(v);
    } else if (IsLetter(c)) {
      char word[8];
      const char* p = at + LetterRun(at, end_, word);
      const Function f = FindFunction(word);
      SkipSpaces(p, end_);
      if (f == Function::None || p >= end_ || *p != '[') return false;
      at = p + 1;
      if (f == Function::Exists) {
        // EXISTS[#<name>]: whether the name is set.
        SkipSpaces(at, end_);
        bool exists = false;
        if (end_ - at < 2 || at[0] != '#' || at[1] != '<') return false;
        ++at;
        if (!ReadNamedVariable(at, v, &exists)) return false;
        SkipSpaces(at, end_);
        if (at >= end_ || *at != ']') return false;
        ++at;
        return PushValue(exists ? 1.0 : 0.0);
      }
      if (!PushEntry({Pending::Open, f, nullptr})) return false;
    } else {
      return false;
    }
  }
}

// "]": the bracket's expression is complete. ATAN[a] followed by /[b]
// becomes the two-argument arctangent.
bool Evaluator::CloseBracket(const char*& at) {
  Reduce(0);
  if (entries_ == 0) return false;
  const Entry open = entry_[--entries_];
  ++at;
  double& top = value_[values_ - 1];
  if (open.kind == Pending::SecondArg) {
    const double x = top;
    --values_;
    value_[values_ - 1] = Finite(std::atan2(value_[values_ - 1], x) / kDegree);
  } else if (open.function == Function::Atan) {
    const char* p = at;
    SkipSpaces(p, end_);
    if (p < end_ && *p == '/') {
      ++p;
      SkipSpaces(p, end_);
      if (p < end_ && *p == '[') {
        at = p + 1;
        return PushEntry({Pending::SecondArg, Function::None, nullptr});
      }
    }
    top = Call(open.function, top);
  } else {
    top = Call(open.function, top);
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
      if (p < end_ && *p == ']' && OpenBrackets()) {
        if (!CloseBracket(p)) return false;
        if (entries_ > 0 && entry_[entries_ - 1].kind == Pending::SecondArg) break;
        continue;
      }
      size_t length = 0;
      const OperatorName* op = nullptr;
      // One operand only (a word's value): done once it is complete.
      if (whole || OpenBrackets()) op = FindOperator(p, end_, length);
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

}  // namespace

bool EvaluateExpression(const Variables& vars, const char*& at, const char* end, bool whole,
                        double& value) {
  Evaluator evaluator(vars, end);
  value = VacantValue();
  return evaluator.Run(at, whole, value);
}
