#pragma once
// Parametric programs: variables, expressions, jumps, loops and calls. The
// state lives in fixed tables inside the run's context (nothing allocated),
// every loop is bounded by the pass's block budget, and every table by its
// size. Values are doubles; a vacant value is a NaN inside the evaluator and
// never leaves it: a word whose value is vacant is simply not given.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "DialectTables.h"

// Limits of one pass. The fuzz build lowers the block budget (see
// fuzz/CMakeLists.txt) so that every input stays within the fuzzer's time.
#ifndef VANTREL_BLOCK_BUDGET
#define VANTREL_BLOCK_BUDGET 4000000
#endif
constexpr uint32_t kBlockBudget = VANTREL_BLOCK_BUDGET;  // blocks executed once the program has jumped back
constexpr int kMaxCallDepth = 16;           // nested calls
constexpr int kMaxLoops = 32;               // open loops over all call levels
constexpr int kMaxNamedVariables = 128;     // #<name> and #<_name>
constexpr int kMaxNameLength = 31;
constexpr int kLabelCacheSize = 256;        // jump targets found, by label

// ---- Variables (Variables.cpp) ------------------------------------------------

struct NamedVariable {
  uint64_t hash;
  int8_t level;                  // call level it belongs to; -1: global (#<_name>)
  char name[kMaxNameLength + 1];
  double value;
  bool whole;                    // Sinumerik DEF INT: holds whole numbers (rounded)
};

// Variables above #999 (system and user parameters of the controls) are
// few in any program: a short list holds them, so that the context, which
// callers keep on their stack, stays small.
constexpr int kTableVariables = 999;  // #1..#999 in a table
constexpr int kListedVariables = 64;  // #1000..#5399 set by a program
struct ListedVariable {
  int number;
  double value;
};

struct Variables {
  // #1..#999; #1..#33 are the main program's locals. Index 0 (#0) stays vacant.
  double numbered[kTableVariables + 1];
  ListedVariable listed[kListedVariables];
  int listedCount = 0;
  // Locals of the call levels that have their own (G65, o-word calls).
  double frames[kMaxCallDepth][kLocalVariables + 1];
  int frame = 0;                 // 0: the main program's locals; k: frames[k - 1]
  int level = 0;                 // call level named locals belong to
  NamedVariable named[kMaxNamedVariables];
  int namedCount = 0;
};

static_assert(kRParameters <= kTableVariables + 1, "R0..R999 share the table of #1..#999");
constexpr double VacantValue() { return std::numeric_limits<double>::quiet_NaN(); }
inline bool IsVacant(double value) { return value != value; }
void ClearVariables(Variables& vars);
// #n for a number from an expression (the nearest whole number); vacant
// outside #1..#5399. Inline: loops read variables in every block.
double ReadListed(const Variables& vars, double number);
inline double ReadNumbered(const Variables& vars, double number) {
  if (!(number >= 0.5 && number < kTableVariables + 0.5)) return ReadListed(vars, number);  // NaN too
  const int n = static_cast<int>(number + 0.5);
  if (n <= kLocalVariables && vars.frame != 0) return vars.frames[vars.frame - 1][n];
  return vars.numbered[n];
}
// False when the write raises an alarm (#3000): the program ends there.
// Writes outside #1..#5399 are ignored, and so are new ones above #999
// once the list is full.
bool WriteNumbered(Variables& vars, double number, double value);
// #<name>: names are matched without case and spaces; a leading "_" makes it
// global. Reading an unknown name gives vacant; a full table ignores writes.
double ReadNamed(const Variables& vars, const char* name, size_t length, bool* exists = nullptr);
void WriteNamed(Variables& vars, const char* name, size_t length, double value);
// A named variable, or null when there is none.
NamedVariable* FindNamedVariable(Variables& vars, const char* name, size_t length);
// Sinumerik DEF REAL/DEF INT: declares the name with its value; an INT one
// rounds every value written to it (SetNamed).
void DeclareNamed(Variables& vars, const char* name, size_t length, double value, bool whole);
void SetNamed(NamedVariable& variable, double value);
// Sinumerik R0..R999 share the table of #1..#999 (a program is of one
// dialect); R0 takes the place #0 never uses. Unset ones read 0, as on the
// control; writes outside R0..R999 are ignored.
inline double ReadR(const Variables& vars, double number) {
  if (!(number >= -0.5 && number < kRParameters - 0.5)) return VacantValue();  // NaN too
  const double v = vars.numbered[static_cast<int>(number + 0.5)];
  return IsVacant(v) ? 0.0 : v;
}
void WriteR(Variables& vars, double number, double value);
// Enters (fresh locals, all vacant) or leaves a call level's locals.
void EnterLocals(Variables& vars, bool fresh);
void LeaveLocals(Variables& vars, int callerFrame);
double* Locals(Variables& vars);

// ---- Expressions (Expression.cpp) ------------------------------------------------

// An expression as the evaluator last read it, in the order of evaluation
// (operands before their operators), so that a loop that runs the same
// block again evaluates it without reading its text.
constexpr int kCompiledSteps = 24;
constexpr int kCompiledExpressions = 64;
struct ExpressionStep {
  uint8_t kind;     // see Expression.cpp
  uint8_t code;     // operator or function
  uint16_t offset;  // named variables: the name's place after the expression's start
  uint16_t length;
  double value;     // numbers
};
struct CompiledExpression {
  uint64_t key = 0;      // where it stands in the file (block and place in its code)
  uint16_t length = 0;   // bytes it takes
  uint8_t steps = 0;     // 0: none here
  ExpressionStep step[kCompiledSteps];
};
struct ExpressionCache {
  CompiledExpression slot[kCompiledExpressions];
};

// Reads an expression at `at` (not past `end`) and moves `at` past it.
// Whole: a full expression (a right-hand side: 2*#1+3); otherwise one
// operand (the value of a word: #1, -#2, [#1/2], #[#3+1]). Returns false
// when the text is no expression; `value` may be vacant either way. With a
// cache, `key` names the expression's place in the file: the same place
// always holds the same text.
bool EvaluateExpression(const Variables& vars, const char*& at, const char* end, bool whole,
                        double& value, ExpressionCache* cache = nullptr, uint64_t key = 0,
                        Dialect dialect = Dialect::Iso);
// The arithmetic and functions of expressions, for the TNC's FN lines.
double ApplyOperator(Operator op, double a, double b);
double ApplyFunction(Function f, double x);
// A TNC parameter at `at` (Q1, QL2, QR3): `number` receives the numbered
// variable that holds it (0, always vacant, past the family's end) and
// `at` moves past it. False when none stands there.
bool ReadTncParameter(const char*& at, const char* end, double& number);

// ---- Program flow (ProgramFlow.cpp) ------------------------------------------------

struct CallFrame {
  uint64_t returnAt;     // the block after the call
  uint64_t bodyAt;       // the body's first block, for the next repeat
  uint64_t programAt;    // the caller's program start (where its GOTOs search)
  uint32_t repeats;      // runs of the body left, this one included
  int callerFrame;       // the caller's locals
  int loopBase;          // loops open when the call was made
  bool oWord;            // o-word call (ends at endsub/return)
  // A Sinumerik section repeat (REPEAT LABEL P=2): no call level of its
  // own; it ends where the block at sectionEnd is reached (not run), or
  // once that block has run (`inclusive`).
  bool section;
  bool inclusive;
  uint64_t sectionEnd;
};

enum class LoopKind : uint8_t { DoEnd, OWhile, ODo, ORepeat, TncRepeat, SWhile, SFor, SRepeat, SLoop };

struct LoopRecord {
  LoopKind kind;
  int level;             // call level
  uint64_t key;          // DO number, or the o-word's number or name
  uint64_t at;           // where the loop goes back to
  uint32_t count;        // repeats left (repeat loops)
};

struct LabelEntry {
  uint64_t key;          // the label; 0: empty
  uint64_t scope;        // where the search started
  uint64_t at;           // position of the labelled block, or none (kNowhere)
};

struct Evaluation {
  bool used = false;          // this pass has evaluated a block (its tables are cleared)
  bool counting = false;      // the pass has jumped back: every block spends the budget
  bool called = false;        // the pass made a call: M30/M2 end the program
  bool tncProgram = false;    // BEGIN PGM seen: TNC blocks are not evaluated
  bool sinumerik = false;     // a Sinumerik block seen: blocks are read in its dialect
  uint32_t blocksLeft = kBlockBudget;
  uint64_t programAt = 0;     // start of the program being run (GOTO searches it)
  // An o-word if whose condition failed jumped to the next elseif, else or
  // endif of this key: that block is entered as a branch, not fallen into.
  uint64_t branchKey = 0;
  int depth = 0;
  CallFrame calls[kMaxCallDepth];
  int loopCount = 0;
  LoopRecord loops[kMaxLoops];
  LabelEntry labels[kLabelCacheSize];
  Variables vars;
  // Depends on the file's text only: kept from pass to pass, cleared for
  // each run (ClearCompiled) once a run has filled it.
  bool compiledKept = false;
  ExpressionCache expressions;
};

// Pass start: back to a fresh program.
void ResetEvaluation(Evaluation& eval);
// Run start: forgets the compiled expressions of another file.
void ClearCompiled(Evaluation& eval);

// What a block starts with: its block number, and a program number (O1001,
// :1001) or an o-word (o100 sub, o<name> call) with its keyword.
struct BlockHead {
  bool hasNumber = false;  // N..
  uint64_t number = 0;
  bool hasProgram = false; // O1001 or :1001 without an o-word keyword
  uint64_t program = 0;
  uint64_t oKey = 0;       // the o-word's number or name (0: no o-word)
  FlowWord oWord = FlowWord::None;
  const char* rest = nullptr;  // what follows the head (after an o-word's keyword)
};
void ReadHead(const char* text, const char* end, BlockHead& head);

class StreamReader;
struct NcPathContext;
struct BlockLine;

// Spends `blocks` of the pass's budget; false when it is used up.
inline bool SpendBlocks(Evaluation& eval, uint32_t blocks) {
  if (eval.blocksLeft < blocks) {
    eval.blocksLeft = 0;
    return false;
  }
  eval.blocksLeft -= blocks;
  return true;
}

// Searches for jump targets; each returns the position of the block found,
// or kNowhere. Every line a search reads spends a block of the budget.
constexpr uint64_t kNowhere = UINT64_MAX;
// N n of the running program: from `from` to the program's end, then from
// its start to `blockAt`.
uint64_t FindNumberLabel(NcPathContext& ctx, StreamReader& reader, uint64_t n, uint64_t blockAt,
                         uint64_t from);
// The first block O n (or :n) of the file.
uint64_t FindProgram(NcPathContext& ctx, StreamReader& reader, uint64_t n);
// The first o-word `key` with one of `words` (FlowWord bits) from `from` on.
uint64_t FindOWord(NcPathContext& ctx, StreamReader& reader, uint64_t key, uint64_t words,
                   uint64_t from);
// The first END m block from `from` on.
uint64_t FindLoopEnd(NcPathContext& ctx, StreamReader& reader, uint64_t m, uint64_t from);
// A TNC label at `at` (LBL 5, LBL "NAME", after the keyword): its key,
// never 0; `at` moves past it. False when none stands there.
bool ReadTncLabel(const char*& at, const char* end, uint64_t& key);
// The key of LBL n; LBL 0 ends a subprogram.
constexpr uint64_t TncLabelKey(uint64_t n) { return (n & ((uint64_t{1} << 60) - 1)) + 1; }
constexpr uint64_t kTncLabelZero = TncLabelKey(0);
// The block after the first block LBL with `key` of the file.
uint64_t FindTncLabel(NcPathContext& ctx, StreamReader& reader, uint64_t key);
constexpr uint64_t Bit(FlowWord w) { return uint64_t{1} << static_cast<unsigned>(w); }
static_assert(static_cast<int>(FlowWord::GotoC) < 64, "every keyword has a bit of a uint64_t");

// Calls and loops of the running program. Push returns false at the depth
// limit (the pass ends).
bool PushCall(Evaluation& eval, const CallFrame& frame, bool freshLocals);
uint64_t ReturnFromCall(Evaluation& eval);  // where the caller goes on
LoopRecord* FindLoop(Evaluation& eval, LoopKind kind, uint64_t key);
LoopRecord* FindAnyLoop(Evaluation& eval, uint64_t key);
bool OpenLoop(Evaluation& eval, LoopKind kind, uint64_t key, uint64_t at, uint32_t count);
void CloseLoop(Evaluation& eval, const LoopRecord* record);

// Block scanner's questions: whether a block's code text needs the
// evaluator, and the evaluation of such a block.
bool NeedsEvaluation(Evaluation& eval, const char* code, size_t length);
// The same for the blocks of a TNC program (TncBlock.cpp).
bool NeedsTncEvaluation(const Evaluation& eval, const char* code, size_t length);
// Runs a TNC block and writes what it draws to `text` (kKeywordTextSize
// bytes): the block with every parameter written as its value and its
// statements left out. Returns where the program goes on, or kNowhere
// when it ends.
uint64_t RunTncBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                     size_t lineLength, char* text, size_t& textLength);

// ---- Sinumerik (SinumerikBlock.cpp, ProgramFlow.cpp) ---------------------------------

// What a Sinumerik block starts with: its number (N10, :10), its label
// (NAME:) and the keyword of its statement.
struct SinumerikHead {
  bool hasNumber = false;
  uint64_t number = 0;
  uint64_t label = 0;          // LabelKey of the label; 0: none
  FlowWord word = FlowWord::None;
  const char* rest = nullptr;  // the statement (at its keyword)
  const char* after = nullptr; // after the keyword
};
void ReadSinumerikHead(const char* text, const char* end, SinumerikHead& head);
// Keys of jump targets: a label by its name, a block by its number.
uint64_t LabelKey(const char* name, size_t length);
uint64_t BlockNumberKey(uint64_t n);
// A block with the label or number `key`: forward from `from` to the end of
// the file, backward (the nearest before `blockAt`), or forward and then
// from the program's start.
enum class Direction : uint8_t { Forward, Backward, Both };
uint64_t FindSinumerikLabel(NcPathContext& ctx, StreamReader& reader, uint64_t key,
                            Direction direction, uint64_t blockAt, uint64_t from);
// The block that closes the structure open at `from` (nested ones passed
// over): the first of `words` (FlowWord bits) on its level.
uint64_t FindStructureEnd(NcPathContext& ctx, StreamReader& reader, uint64_t words, uint64_t from);
// A block of the Sinumerik dialect: whether it needs the evaluator, and the
// dialect's evidence in a block read as ISO. `statement`: where the block's
// statement starts.
bool SinumerikNeedsEvaluation(const char* code, size_t length);
// Whether the name `word` at `at` (`length` bytes), in a block read as ISO
// whose statement starts at `statement`, tells the Sinumerik dialect:
// ENDIF, GOTOF, DEF at a statement's start, R1=, CR=, AR=, TURN=, CIP.
bool MarksSinumerik(uint64_t word, const char* at, size_t length, const char* end,
                    const char* statement);
// Runs a Sinumerik block as EvaluateBlock runs an ISO one: `next` receives
// where the program goes on (kNowhere when it ends), `nextInOrder` the
// block after it in the file; returns the length of the keyword text.
size_t RunSinumerikBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                         size_t lineLength, BlockLine& line, char* keywords, uint64_t& next,
                         uint64_t& nextInOrder);
