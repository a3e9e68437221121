// Variables of parametric programs: numbered (#1..#5399, the first 33 local
// to a call level) and named (#<name> local to a call level, #<_name>
// global), in fixed tables. Unset variables are vacant.
#include <cmath>
#include <cstring>

#include "Evaluation.h"

namespace {

char Folded(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A name as it is compared: upper case, without spaces, at most 31
// characters (longer names are cut).
size_t FoldName(const char* name, size_t length, char (&folded)[kMaxNameLength + 1]) {
  size_t n = 0;
  for (size_t i = 0; i < length && n < kMaxNameLength; ++i) {
    if (name[i] != ' ' && name[i] != '\t') folded[n++] = Folded(name[i]);
  }
  folded[n] = '\0';
  return n;
}

uint64_t NameHash(const char* folded, size_t length) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<uint8_t>(folded[i])) * 1099511628211ull;
  return hash;
}

int FindNamed(const Variables& vars, const char* folded, size_t length, uint64_t hash, int level) {
  for (int k = 0; k < vars.namedCount; ++k) {
    const NamedVariable& v = vars.named[k];
    if (v.hash == hash && v.level == level && std::strncmp(v.name, folded, length + 1) == 0) return k;
  }
  return -1;
}

// The level a name belongs to: global names start with "_".
int NameLevel(const Variables& vars, const char* folded) {
  return folded[0] == '_' ? -1 : vars.level;
}

// The variable number of an expression's value: the nearest integer, or -1
// when there is none in range.
int VariableNumber(double number) {
  if (!(number >= 0 && number < kNumberedVariables + 0.5)) return -1;  // NaN too
  return static_cast<int>(number + 0.5);
}

// The listed variable #n (above #999), or null.
const ListedVariable* FindListed(const Variables& vars, int n) {
  for (int k = 0; k < vars.listedCount; ++k)
    if (vars.listed[k].number == n) return &vars.listed[k];
  return nullptr;
}

}  // namespace

double ReadListed(const Variables& vars, double number) {
  const int n = VariableNumber(number);
  const ListedVariable* v = n > kTableVariables ? FindListed(vars, n) : nullptr;
  return v != nullptr ? v->value : VacantValue();
}

void ClearVariables(Variables& vars) {
  for (double& v : vars.numbered) v = VacantValue();
  vars.listedCount = 0;
  vars.frame = 0;
  vars.level = 0;
  vars.namedCount = 0;
}

double* Locals(Variables& vars) {
  return vars.frame == 0 ? vars.numbered : vars.frames[vars.frame - 1];
}

bool WriteNumbered(Variables& vars, double number, double value) {
  const int n = VariableNumber(number);
  if (n == kAlarmVariable) return false;
  if (n <= 0) return true;  // #0 stays vacant; numbers out of range are ignored
  if (!std::isfinite(value)) value = VacantValue();
  if (n <= kLocalVariables) {
    Locals(vars)[n] = value;
  } else if (n <= kTableVariables) {
    vars.numbered[n] = value;
  } else if (const ListedVariable* v = FindListed(vars, n)) {
    vars.listed[v - vars.listed].value = value;
  } else if (vars.listedCount < kListedVariables) {
    vars.listed[vars.listedCount++] = {n, value};
  }
  return true;
}

double ReadNamed(const Variables& vars, const char* name, size_t length, bool* exists) {
  char folded[kMaxNameLength + 1];
  const size_t n = FoldName(name, length, folded);
  const int k = FindNamed(vars, folded, n, NameHash(folded, n), NameLevel(vars, folded));
  if (exists != nullptr) *exists = k >= 0;
  return k >= 0 ? vars.named[k].value : VacantValue();
}

void WriteNamed(Variables& vars, const char* name, size_t length, double value) {
  char folded[kMaxNameLength + 1];
  const size_t n = FoldName(name, length, folded);
  if (n == 0) return;
  const uint64_t hash = NameHash(folded, n);
  const int level = NameLevel(vars, folded);
  int k = FindNamed(vars, folded, n, hash, level);
  if (k < 0) {
    if (vars.namedCount == kMaxNamedVariables) return;
    k = vars.namedCount++;
    NamedVariable& v = vars.named[k];
    v.hash = hash;
    v.level = static_cast<int8_t>(level);
    v.whole = false;
    std::memcpy(v.name, folded, n + 1);
  }
  vars.named[k].value = std::isfinite(value) ? value : VacantValue();
}

NamedVariable* FindNamedVariable(Variables& vars, const char* name, size_t length) {
  char folded[kMaxNameLength + 1];
  const size_t n = FoldName(name, length, folded);
  const int k = FindNamed(vars, folded, n, NameHash(folded, n), NameLevel(vars, folded));
  return k >= 0 ? &vars.named[k] : nullptr;
}

void SetNamed(NamedVariable& variable, double value) {
  if (variable.whole) value = std::round(value);
  variable.value = std::isfinite(value) ? value : VacantValue();
}

void DeclareNamed(Variables& vars, const char* name, size_t length, double value, bool whole) {
  WriteNamed(vars, name, length, 0.0);
  if (NamedVariable* v = FindNamedVariable(vars, name, length)) {
    v->whole = whole;
    SetNamed(*v, value);
  }
}

void EnterLocals(Variables& vars, bool fresh) {
  ++vars.level;
  if (!fresh) return;
  // A fresh set for each call level; the depth is bounded by the call stack.
  vars.frame = vars.level;
  double* locals = vars.frames[vars.frame - 1];
  for (int n = 0; n <= kLocalVariables; ++n) locals[n] = VacantValue();
}

void LeaveLocals(Variables& vars, int callerFrame) {
  // The named locals of the level left are dropped; the order of the rest stays.
  int kept = 0;
  for (int k = 0; k < vars.namedCount; ++k) {
    if (vars.named[k].level != vars.level) vars.named[kept++] = vars.named[k];
  }
  vars.namedCount = kept;
  --vars.level;
  vars.frame = callerFrame;
}

void WriteR(Variables& vars, double number, double value) {
  if (!(number >= -0.5 && number < kRParameters - 0.5)) return;  // NaN too
  vars.numbered[static_cast<int>(number + 0.5)] = std::isfinite(value) ? value : VacantValue();
}
