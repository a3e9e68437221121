#pragma once
// What the parametric dialects spell differently, in one place: the words of
// expressions (functions and operators), the keywords of program flow, the
// ranges of numbered variables and the argument letters of a macro call. A
// dialect joins by adding rows here; the evaluator reads only these tables.
// Names are upper case; programs are matched without regard to case.
#include <cstddef>
#include <cstdint>

// ---- Words, packed ------------------------------------------------------------
// A word of up to ten letters packed into one integer (six bits a letter,
// case folded), so that a lookup compares integers, not strings. Digits and
// "_" have codes of their own, for names such as ATAN2 and BAR_CENTR.
constexpr uint64_t kNoWord = ~uint64_t{0};
constexpr uint64_t PackLetter(uint64_t packed, char c) {
  const int code = c >= '0' && c <= '9' ? 27 + (c - '0') : c == '_' ? 37 : (c >= 'a' ? c - 'a' : c - 'A') + 1;
  return packed << 6 | static_cast<uint64_t>(code);
}
constexpr bool IsWordLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr uint64_t PackWord(const char* word) {
  uint64_t packed = 0;
  for (; *word != '\0'; ++word) packed = PackLetter(packed, *word);
  return packed;
}
// The run of letters at `at`: its packed form (kNoWord when longer than ten
// letters) and its length.
inline uint64_t PackedRun(const char* at, const char* end, size_t& length) {
  uint64_t packed = 0;
  size_t n = 0;
  for (; at + n < end && IsWordLetter(at[n]); ++n) packed = n < 10 ? PackLetter(packed, at[n]) : kNoWord;
  length = n;
  return packed;
}
// The name at `at` (a letter or "_", then letters, digits and "_"): its
// packed form (kNoWord when longer than ten) and its length; 0 when no
// name starts there.
inline uint64_t PackedName(const char* at, const char* end, size_t& length) {
  uint64_t packed = 0;
  size_t n = 0;
  for (; at + n < end; ++n) {
    const char c = at[n];
    const bool digit = c >= '0' && c <= '9';
    if (!IsWordLetter(c) && c != '_' && !(digit && n > 0)) break;
    packed = n < 10 ? PackLetter(packed, c) : kNoWord;
  }
  length = n;
  return packed;
}

enum class Dialect : uint8_t {
  Iso,       // macro programs of ISO controls: #1, IF [..] GOTO, WHILE [..] DO1, M98, G65
  IsoOWord,  // o-word programs of ISO controls: #<name>, o100 sub/call/if/while/repeat
  Tnc,       // TNC conversational: Q1, FN 0: to FN 12:, Q5 = Q1 + 2, LBL, CALL LBL .. REP
  Sinumerik, // ISO programs with R1=.., DEF, CR=, labels, IF/WHILE/FOR blocks, GOTOF/GOTOB
};
constexpr uint8_t DialectBit(Dialect d) { return static_cast<uint8_t>(1u << static_cast<unsigned>(d)); }
constexpr uint8_t kIsoDialects = DialectBit(Dialect::Iso) | DialectBit(Dialect::IsoOWord);
constexpr uint8_t kTncDialect = DialectBit(Dialect::Tnc);
constexpr uint8_t kSinumerikDialect = DialectBit(Dialect::Sinumerik);


// ---- Punctuation --------------------------------------------------------------

// The bytes that mark variables (#1, #<name>) and brackets. ISO macros and
// o-words share them; a dialect that writes variables otherwise (Q1, R1)
// adds its own marks.
struct Punctuation {
  char variable, nameOpen, nameClose, open, close;
};
constexpr Punctuation kIsoMarks{'#', '<', '>', '[', ']'};
// TNC parameters have no mark: they are a family's letters and a number
// (Q1, QL2; see kTncParameters).
constexpr Punctuation kTncMarks{'\0', '\0', '\0', '(', ')'};
// R1, R[..] is no form here; names (LEN) stand alone; brackets are round.
constexpr Punctuation kSinumerikMarks{'R', '\0', '\0', '(', ')'};

// How a dialect writes an expression: its marks, whether its parameters
// are letters and a number, and whether a function takes the operand after
// it (TNC: SIN Q1, SQRT (Q1 + 2)) or a bracket right after its name (ISO:
// SIN[#1]). Sinumerik reads its names and functions itself.
struct ExpressionSyntax {
  Punctuation marks;
  bool parameterFamilies;
  bool prefixFunctions;
};
constexpr ExpressionSyntax kExpressionSyntax[] = {
    {kIsoMarks, false, false},        // Iso
    {kIsoMarks, false, false},        // IsoOWord
    {kTncMarks, true, true},          // Tnc
    {kSinumerikMarks, false, false},  // Sinumerik
};
constexpr const ExpressionSyntax& SyntaxOf(Dialect d) { return kExpressionSyntax[static_cast<int>(d)]; }

// ---- Expressions ------------------------------------------------------------

enum class Function : uint8_t {
  None, Sin, Cos, Tan, Asin, Acos, Atan, Sqrt, Abs, Round, Fix, Fup, Ln, Exp, Exists,
  Square, Integer, Fraction, Sign, Pi, Atan2, Power2, Trunc
};

struct FunctionName {
  const char* name;
  Function function;
  uint8_t dialects;  // DialectBit of each dialect that knows it
};

// ISO: a function is its name followed by a bracket: SIN[30]. ATAN also
// takes the two-argument form ATAN[a]/[b]; EXISTS takes a named variable.
// TNC: the name stands before its operand (SIN Q1, SQ (Q1 + 2)); PI takes
// none.
constexpr uint8_t kAllDialects = kIsoDialects | kTncDialect;
constexpr FunctionName kFunctions[] = {
    {"SIN", Function::Sin, kAllDialects},       {"COS", Function::Cos, kAllDialects},
    {"TAN", Function::Tan, kAllDialects},       {"ASIN", Function::Asin, kAllDialects},
    {"ACOS", Function::Acos, kAllDialects},     {"ATAN", Function::Atan, kAllDialects},
    {"SQRT", Function::Sqrt, kAllDialects},     {"ABS", Function::Abs, kAllDialects},
    {"ROUND", Function::Round, kIsoDialects},   {"FIX", Function::Fix, kIsoDialects},
    {"FUP", Function::Fup, kIsoDialects},       {"LN", Function::Ln, kAllDialects},
    {"EXP", Function::Exp, kAllDialects},       {"EXISTS", Function::Exists, kIsoDialects},
    {"SQ", Function::Square, kTncDialect},      {"INT", Function::Integer, kTncDialect},
    {"FRAC", Function::Fraction, kTncDialect},  {"SGN", Function::Sign, kTncDialect},
    {"PI", Function::Pi, kTncDialect},
};
// Sinumerik functions take round brackets: SIN(30), ATAN2(y, x), POT(x) is x².
constexpr FunctionName kSinumerikFunctions[] = {
    {"SIN", Function::Sin, kSinumerikDialect}, {"COS", Function::Cos, kSinumerikDialect},
    {"TAN", Function::Tan, kSinumerikDialect}, {"ASIN", Function::Asin, kSinumerikDialect},
    {"ACOS", Function::Acos, kSinumerikDialect}, {"ATAN2", Function::Atan2, kSinumerikDialect},
    {"SQRT", Function::Sqrt, kSinumerikDialect}, {"ABS", Function::Abs, kSinumerikDialect},
    {"POT", Function::Power2, kSinumerikDialect}, {"TRUNC", Function::Trunc, kSinumerikDialect},
    {"ROUND", Function::Round, kSinumerikDialect}, {"LN", Function::Ln, kSinumerikDialect},
    {"EXP", Function::Exp, kSinumerikDialect},
};

enum class Operator : uint8_t {
  None, Power, Multiply, Divide, Modulo, Add, Subtract,
  Equal, NotEqual, Greater, GreaterEqual, Less, LessEqual, And, Or, Xor, IntDivide
};

struct OperatorName {
  const char* name;
  Operator op;
  uint8_t precedence;  // higher binds tighter
  uint8_t dialects;    // DialectBit of each dialect that knows it
};

// Binary operators, symbols and words. The logical words bind loosest, so
// that [#1 GT 0 AND #2 LT 5] reads as two comparisons joined. TNC formulas
// know the symbols only (and ^ for the power).
constexpr OperatorName kOperators[] = {
    {"**", Operator::Power, 5, kIsoDialects},   {"*", Operator::Multiply, 4, kAllDialects},
    {"/", Operator::Divide, 4, kAllDialects},   {"MOD", Operator::Modulo, 4, kIsoDialects},
    {"+", Operator::Add, 3, kAllDialects},      {"-", Operator::Subtract, 3, kAllDialects},
    {"EQ", Operator::Equal, 2, kIsoDialects},   {"NE", Operator::NotEqual, 2, kIsoDialects},
    {"GT", Operator::Greater, 2, kIsoDialects}, {"GE", Operator::GreaterEqual, 2, kIsoDialects},
    {"LT", Operator::Less, 2, kIsoDialects},    {"LE", Operator::LessEqual, 2, kIsoDialects},
    {"AND", Operator::And, 1, kIsoDialects},    {"OR", Operator::Or, 1, kIsoDialects},
    {"XOR", Operator::Xor, 1, kIsoDialects},    {"^", Operator::Power, 5, kTncDialect},
};
// DEF INT declares variables that hold whole numbers (DEF REAL: any).
constexpr uint64_t kSinumerikWholeType = PackWord("INT");
// NOT before an operand negates its truth: NOT (R1 > 5).
constexpr uint64_t kSinumerikNot = PackWord("NOT");
// Sinumerik compares with symbols; DIV divides whole numbers. Longer
// symbols first: "<=" before "<".
constexpr OperatorName kSinumerikOperators[] = {
    {"*", Operator::Multiply, 4, kSinumerikDialect}, {"/", Operator::Divide, 4, kSinumerikDialect},
    {"DIV", Operator::IntDivide, 4, kSinumerikDialect}, {"MOD", Operator::Modulo, 4, kSinumerikDialect},
    {"+", Operator::Add, 3, kSinumerikDialect}, {"-", Operator::Subtract, 3, kSinumerikDialect},
    {"==", Operator::Equal, 2, kSinumerikDialect}, {"<>", Operator::NotEqual, 2, kSinumerikDialect},
    {">=", Operator::GreaterEqual, 2, kSinumerikDialect}, {"<=", Operator::LessEqual, 2, kSinumerikDialect},
    {">", Operator::Greater, 2, kSinumerikDialect}, {"<", Operator::Less, 2, kSinumerikDialect},
    {"AND", Operator::And, 1, kSinumerikDialect}, {"OR", Operator::Or, 1, kSinumerikDialect},
    {"XOR", Operator::Xor, 1, kSinumerikDialect},
};

// ---- Program flow -----------------------------------------------------------

enum class FlowWord : uint8_t {
  None,
  // ISO macro statements, at the start of a block's code.
  If, Then, Goto, While, Do, End,
  // o-word statements: o100 sub, o<name> call [1] [2], ...
  Sub, EndSub, Call, Return, ElseIf, Else, EndIf, EndWhile, Repeat, EndRepeat, Break, Continue,
  // TNC: FN 9: IF +Q1 EQU +Q2 GOTO LBL 5, CALL LBL 1 REP 3 (with If, Goto, Call, Repeat)
  Fn, Label,
  // Sinumerik statements beyond those: GOTOF LABEL, FOR R1=1 TO 4, DEF REAL LEN,
  // MCALL CYCLE81(..), REPEATB LABEL P=2; GOTOC jumps as GOTO, and on where
  // the label is missing.
  GotoF, GotoB, For, To, EndFor, Until, Loop, EndLoop, Def, ModalCall, RepeatB, GotoC,
};

struct FlowKeyword {
  const char* name;
  FlowWord word;
  Dialect dialect;
  // The keyword tells the dialect: the program is read as Sinumerik from
  // the block that holds it on (at a statement's start, or anywhere: `any`).
  bool marksDialect = false;
  bool any = false;
};

constexpr FlowKeyword kFlowKeywords[] = {
    {"IF", FlowWord::If, Dialect::Iso},
    {"THEN", FlowWord::Then, Dialect::Iso},
    {"GOTO", FlowWord::Goto, Dialect::Iso},
    {"WHILE", FlowWord::While, Dialect::Iso},
    {"DO", FlowWord::Do, Dialect::Iso},
    {"END", FlowWord::End, Dialect::Iso},

    {"SUB", FlowWord::Sub, Dialect::IsoOWord},
    {"ENDSUB", FlowWord::EndSub, Dialect::IsoOWord},
    {"CALL", FlowWord::Call, Dialect::IsoOWord},
    {"RETURN", FlowWord::Return, Dialect::IsoOWord},
    {"IF", FlowWord::If, Dialect::IsoOWord},
    {"ELSEIF", FlowWord::ElseIf, Dialect::IsoOWord},
    {"ELSE", FlowWord::Else, Dialect::IsoOWord},
    {"ENDIF", FlowWord::EndIf, Dialect::IsoOWord},
    {"WHILE", FlowWord::While, Dialect::IsoOWord},
    {"ENDWHILE", FlowWord::EndWhile, Dialect::IsoOWord},
    {"DO", FlowWord::Do, Dialect::IsoOWord},
    {"REPEAT", FlowWord::Repeat, Dialect::IsoOWord},
    {"ENDREPEAT", FlowWord::EndRepeat, Dialect::IsoOWord},
    {"BREAK", FlowWord::Break, Dialect::IsoOWord},
    {"CONTINUE", FlowWord::Continue, Dialect::IsoOWord},

    {"FN", FlowWord::Fn, Dialect::Tnc},
    {"LBL", FlowWord::Label, Dialect::Tnc},
    {"CALL", FlowWord::Call, Dialect::Tnc},
    {"REP", FlowWord::Repeat, Dialect::Tnc},
    {"IF", FlowWord::If, Dialect::Tnc},
    {"GOTO", FlowWord::Goto, Dialect::Tnc},

    {"IF", FlowWord::If, Dialect::Sinumerik},
    {"ELSE", FlowWord::Else, Dialect::Sinumerik},
    {"ENDIF", FlowWord::EndIf, Dialect::Sinumerik, true},
    {"WHILE", FlowWord::While, Dialect::Sinumerik},
    {"ENDWHILE", FlowWord::EndWhile, Dialect::Sinumerik, true},
    {"FOR", FlowWord::For, Dialect::Sinumerik},
    {"TO", FlowWord::To, Dialect::Sinumerik},
    {"ENDFOR", FlowWord::EndFor, Dialect::Sinumerik, true},
    {"REPEAT", FlowWord::Repeat, Dialect::Sinumerik},
    {"REPEATB", FlowWord::RepeatB, Dialect::Sinumerik},
    {"UNTIL", FlowWord::Until, Dialect::Sinumerik},
    {"LOOP", FlowWord::Loop, Dialect::Sinumerik},
    {"ENDLOOP", FlowWord::EndLoop, Dialect::Sinumerik},
    {"GOTO", FlowWord::Goto, Dialect::Sinumerik},
    {"GOTOF", FlowWord::GotoF, Dialect::Sinumerik, true, true},
    {"GOTOB", FlowWord::GotoB, Dialect::Sinumerik, true, true},
    {"GOTOC", FlowWord::GotoC, Dialect::Sinumerik, true, true},
    {"DEF", FlowWord::Def, Dialect::Sinumerik, true},
    {"MCALL", FlowWord::ModalCall, Dialect::Sinumerik, true},
    {"RET", FlowWord::Return, Dialect::Sinumerik},
};

// TNC: FN 0: to FN 12: by number. FN 0 to FN 8 assign the value of one
// operand, of two joined by an operator (+ - * DIV LEN), or of a function of
// one; FN 9 to FN 12 jump when their comparison (EQU NE GT LT) holds.
enum class FnKind : uint8_t { None, Assign, Binary, Unary, Jump };
struct FnRow {
  FnKind kind;
  Operator op;        // Binary: + - * DIV; Jump: the comparison
  Function function;  // Unary: SQRT SIN COS
};
constexpr FnRow kFnRows[] = {
    {FnKind::Assign, Operator::None, Function::None},         // FN 0: Q1 = +5
    {FnKind::Binary, Operator::Add, Function::None},          // FN 1: Q1 = +Q2 + +Q3
    {FnKind::Binary, Operator::Subtract, Function::None},     // FN 2: Q1 = +Q2 - +Q3
    {FnKind::Binary, Operator::Multiply, Function::None},     // FN 3: Q1 = +Q2 * +Q3
    {FnKind::Binary, Operator::Divide, Function::None},       // FN 4: Q1 = +Q2 DIV +Q3
    {FnKind::Unary, Operator::None, Function::Sqrt},          // FN 5: Q1 = SQRT +Q2
    {FnKind::Unary, Operator::None, Function::Sin},           // FN 6: Q1 = SIN +Q2
    {FnKind::Unary, Operator::None, Function::Cos},           // FN 7: Q1 = COS +Q2
    {FnKind::Binary, Operator::None, Function::None},         // FN 8: Q1 = +Q2 LEN +Q3
    {FnKind::Jump, Operator::Equal, Function::None},          // FN 9: IF +Q1 EQU +Q2 GOTO LBL 5
    {FnKind::Jump, Operator::NotEqual, Function::None},       // FN 10: IF .. NE ..
    {FnKind::Jump, Operator::Greater, Function::None},        // FN 11: IF .. GT ..
    {FnKind::Jump, Operator::Less, Function::None},           // FN 12: IF .. LT ..
};
constexpr int kFnCount = sizeof kFnRows / sizeof kFnRows[0];

// TNC parameters in the table of numbered variables (which TNC programs
// use for nothing else): Q0..Q1999, and the plain variables QL and QR. A
// family is the letters before the number.
struct VariableFamily {
  const char* name;  // the letters
  int count;  // numbers 0..count-1
  int first;  // the numbered variable of number 0
};
constexpr VariableFamily kTncParameters[] = {
    {"Q", 2000, 1},      // #1..#2000
    {"QL", 500, 4001},   // #4001..#4500
    {"QR", 500, 4501},   // #4501..#5000
};
// The jumps of the Sinumerik dialect.
constexpr bool IsJump(FlowWord w) {
  return w == FlowWord::Goto || w == FlowWord::GotoF || w == FlowWord::GotoB || w == FlowWord::GotoC;
}

// Sinumerik words of a block beyond the address letters: arcs by radius
// (CR=), opening angle (AR=), full turns (TURN=) and through a point (CIP
// with I1= J1= K1=); one value absolute (AC(..)) or incremental (IC(..)).
// The words of a frame (TRANS X10 Y5) are no position: the block is passed.
enum class BlockWord : uint8_t { None, Radius, Angle, Turns, Via, Absolute, Incremental, Frame };
struct BlockWordName {
  const char* name;
  BlockWord word;
};
constexpr BlockWordName kSinumerikWords[] = {
    {"CR", BlockWord::Radius},      {"AR", BlockWord::Angle},        {"TURN", BlockWord::Turns},
    {"CIP", BlockWord::Via},        {"AC", BlockWord::Absolute},     {"IC", BlockWord::Incremental},
    {"TRANS", BlockWord::Frame},    {"ATRANS", BlockWord::Frame},    {"ROT", BlockWord::Frame},
    {"AROT", BlockWord::Frame},     {"SCALE", BlockWord::Frame},     {"ASCALE", BlockWord::Frame},
    {"MIRROR", BlockWord::Frame},   {"AMIRROR", BlockWord::Frame},
};
// The drilling cycles MCALL makes modal: MCALL CYCLE81(..) to MCALL alone.
constexpr const char* kModalCycleName = "CYCLE";
constexpr int kModalCycles[] = {81, 82, 83, 84, 85, 86};

// Words of a block that call, return or end (M and G codes with their
// numbers). A call of the ISO dialect names its program with P and its
// repeats with L.
enum class CallCode : uint8_t { None, SubCall, MacroCall, Return, ProgramEnd };

struct CallCodeRow {
  char letter;
  int number;
  CallCode code;
};

constexpr CallCodeRow kCallCodes[] = {
    {'M', 98, CallCode::SubCall},    // M98 P1001 L3, M98 P31001: same locals
    {'G', 65, CallCode::MacroCall},  // G65 P9010 A1. B2.: arguments to fresh locals
    {'M', 99, CallCode::Return},     // end of a subprogram; in the main program its end
    {'M', 2, CallCode::ProgramEnd},  // M2, M02, M30: after a call, ends the program
    {'M', 30, CallCode::ProgramEnd},
};
// Sinumerik: the end of the program, or of a subprogram (M17), which in a
// file of several programs is where the next one starts.
constexpr CallCodeRow kSinumerikEnds[] = {
    {'M', 2, CallCode::ProgramEnd}, {'M', 30, CallCode::ProgramEnd}, {'M', 17, CallCode::ProgramEnd},
};

// ---- Lookups by packed word --------------------------------------------------------

template <typename Row, size_t N>
struct PackedNames {
  uint64_t code[N];
};
template <typename Row, size_t N>
constexpr PackedNames<Row, N> PackNames(const Row (&rows)[N]) {
  PackedNames<Row, N> packed{};
  for (size_t k = 0; k < N; ++k) {
    // Symbols (**, *, ...) have no packed form.
    packed.code[k] = IsWordLetter(rows[k].name[0]) ? PackWord(rows[k].name) : kNoWord;
  }
  return packed;
}
constexpr auto kFunctionCodes = PackNames(kFunctions);
constexpr auto kOperatorCodes = PackNames(kOperators);
constexpr auto kFlowCodes = PackNames(kFlowKeywords);
constexpr auto kParameterCodes = PackNames(kTncParameters);
constexpr auto kSinumerikFunctionCodes = PackNames(kSinumerikFunctions);
constexpr auto kSinumerikOperatorCodes = PackNames(kSinumerikOperators);
constexpr auto kSinumerikWordCodes = PackNames(kSinumerikWords);

inline Function FindFunction(uint64_t word, Dialect dialect = Dialect::Iso) {
  if (word == kNoWord) return Function::None;
  for (size_t k = 0; k < sizeof kFunctions / sizeof kFunctions[0]; ++k)
    if (kFunctionCodes.code[k] == word && (kFunctions[k].dialects & DialectBit(dialect)) != 0)
      return kFunctions[k].function;
  return Function::None;
}
inline const OperatorName* FindWordOperator(uint64_t word, Dialect dialect = Dialect::Iso) {
  if (word == kNoWord) return nullptr;
  for (size_t k = 0; k < sizeof kOperators / sizeof kOperators[0]; ++k)
    if (kOperatorCodes.code[k] == word && (kOperators[k].dialects & DialectBit(dialect)) != 0)
      return &kOperators[k];
  return nullptr;
}
// The flow keywords of each dialect stand together: a lookup reads only
// its dialect's rows.
constexpr size_t kFlowRowCount = sizeof kFlowKeywords / sizeof kFlowKeywords[0];
struct RowRange {
  uint8_t first[4], end[4];
};
constexpr RowRange FlowRowsByDialect() {
  RowRange range{};
  for (size_t k = kFlowRowCount; k-- > 0;) range.first[static_cast<int>(kFlowKeywords[k].dialect)] = static_cast<uint8_t>(k);
  for (size_t k = 0; k < kFlowRowCount; ++k) range.end[static_cast<int>(kFlowKeywords[k].dialect)] = static_cast<uint8_t>(k + 1);
  return range;
}
constexpr RowRange kFlowRows = FlowRowsByDialect();
constexpr bool FlowRowsGrouped() {
  for (size_t k = 0; k < kFlowRowCount; ++k) {
    const int d = static_cast<int>(kFlowKeywords[k].dialect);
    if (k < kFlowRows.first[d] || k >= kFlowRows.end[d]) return false;
  }
  for (size_t k = 0; k < kFlowRowCount; ++k)
    for (int d = 0; d < 4; ++d)
      if (k >= kFlowRows.first[d] && k < kFlowRows.end[d] && static_cast<int>(kFlowKeywords[k].dialect) != d)
        return false;
  return true;
}
static_assert(FlowRowsGrouped(), "each dialect's flow keywords stand together");

inline FlowWord FindFlowWord(uint64_t word, Dialect dialect) {
  if (word == kNoWord) return FlowWord::None;
  const int d = static_cast<int>(dialect);
  for (size_t k = kFlowRows.first[d]; k < kFlowRows.end[d]; ++k)
    if (kFlowCodes.code[k] == word) return kFlowKeywords[k].word;
  return FlowWord::None;
}
// The row of a keyword that tells the Sinumerik dialect, or null.
inline const FlowKeyword* FindDialectMark(uint64_t word) {
  if (word == kNoWord) return nullptr;
  for (size_t k = 0; k < sizeof kFlowKeywords / sizeof kFlowKeywords[0]; ++k)
    if (kFlowCodes.code[k] == word && kFlowKeywords[k].marksDialect) return &kFlowKeywords[k];
  return nullptr;
}
inline Function FindSinumerikFunction(uint64_t word) {
  if (word == kNoWord) return Function::None;
  for (size_t k = 0; k < sizeof kSinumerikFunctions / sizeof kSinumerikFunctions[0]; ++k)
    if (kSinumerikFunctionCodes.code[k] == word) return kSinumerikFunctions[k].function;
  return Function::None;
}
inline const OperatorName* FindSinumerikWordOperator(uint64_t word) {
  if (word == kNoWord) return nullptr;
  for (size_t k = 0; k < sizeof kSinumerikOperators / sizeof kSinumerikOperators[0]; ++k)
    if (kSinumerikOperatorCodes.code[k] == word) return &kSinumerikOperators[k];
  return nullptr;
}
inline BlockWord FindBlockWord(uint64_t word) {
  if (word == kNoWord) return BlockWord::None;
  for (size_t k = 0; k < sizeof kSinumerikWords / sizeof kSinumerikWords[0]; ++k)
    if (kSinumerikWordCodes.code[k] == word) return kSinumerikWords[k].word;
  return BlockWord::None;
}

// The TNC parameter family of a packed run of letters (Q, QL, QR), or null.
inline const VariableFamily* FindParameterFamily(uint64_t word) {
  if (word == kNoWord) return nullptr;
  for (size_t k = 0; k < sizeof kTncParameters / sizeof kTncParameters[0]; ++k)
    if (kParameterCodes.code[k] == word) return &kTncParameters[k];
  return nullptr;
}

// ---- Variables ----------------------------------------------------------------

constexpr int kLocalVariables = 33;       // #1..#33 belong to a call level
constexpr int kNumberedVariables = 5399;  // #1..#5399; above: always vacant
constexpr int kAlarmVariable = 3000;      // a write raises an alarm: the program ends
constexpr int kRParameters = 1000;        // Sinumerik R0..R999

// G65's argument letters and the locals they set (A #1, B #2, C #3, I #4 ...).
struct ArgumentLetter {
  char letter;
  uint8_t local;
};
constexpr ArgumentLetter kMacroArguments[] = {
    {'A', 1},  {'B', 2},  {'C', 3},  {'I', 4},  {'J', 5},  {'K', 6},  {'D', 7},
    {'E', 8},  {'F', 9},  {'H', 11}, {'M', 13}, {'Q', 17}, {'R', 18}, {'S', 19},
    {'T', 20}, {'U', 21}, {'V', 22}, {'W', 23}, {'X', 24}, {'Y', 25}, {'Z', 26},
};

// o-word calls hand their bracketed arguments to #1, #2, ... of the sub.
constexpr int kMaxCallArguments = 30;
