#pragma once
// The toolpath interpreter: reads an NC program (ISO G-code or TNC
// conversational) in two passes, frames its path and draws it on a canvas.
// Portable C++17; no allocation, no exceptions, every loop bounded.
#include <cstddef>
#include <cstdint>

#include "ByteSource.h"
#include "Evaluation.h"
#include "PathCanvas.h"

// A word slot or coordinate without a value. Tested by exact equality.
constexpr double NOT_GIVEN = -9999.0;
inline bool IsGiven(double value) { return value != NOT_GIVEN; }
// Empty extents: the maxima start below and the minima above any real value.
constexpr double EMPTY_MAX = -999999.0;
constexpr double EMPTY_MIN = 999999.0;

// Word slots: 0 belongs to no letter.
enum WordSlot { SLOT_NONE = 0, SLOT_X, SLOT_Y, SLOT_Z, SLOT_I, SLOT_J, SLOT_K, SLOT_R, SLOT_COUNT };

// What a TNC block is, by its keyword: the contour elements beyond "L " and
// "C " need words and geometry of their own.
enum TncBlock : uint8_t {
  TNC_NONE = 0,      // no TNC contour keyword (ISO blocks, tool calls, ...)
  TNC_LINE,          // "L "
  TNC_CIRCLE,        // "C " around the last CC
  TNC_CENTRE,        // "CC"
  TNC_RADIUS,        // "CR": arc by radius
  TNC_TANGENT,       // "CT": arc tangent to the element before
  TNC_POLAR_LINE,    // "LP": straight move to PR/PA around the CC
  TNC_POLAR_CIRCLE,  // "CP": arc around the CC to PA
  TNC_ROUND,         // "RND": rounding between two elements
  TNC_CHAMFER,       // "CHF": chamfer between two straight moves
  TNC_STRUCTURE,     // "CYCL DEF", "PLANE": no position; its words are parameters
  TNC_CYCLE_CALL,    // "CYCL CALL": the defined cycle runs where the tool stands
  TNC_CYCLE_CALL_POS // "CYCL CALL POS": the tool goes to X, Y and the cycle runs there
};

// One straight move or arc of a TNC contour in program units. Held back one
// block, so that a rounding or chamfer can still shorten its end.
struct ContourMove {
  enum Kind : uint8_t { None, Line, ArcCw, ArcCcw } kind = None;
  bool hasCentre = false;  // arcs: the centre is known (a C block before any CC has none)
  double sh = NOT_GIVEN, sv = NOT_GIVEN;  // start
  double eh = NOT_GIVEN, ev = NOT_GIVEN;  // end
  double ch = NOT_GIVEN, cv = NOT_GIVEN;  // arc centre, absolute
};

// Sinumerik arc words of a block that the driver resolves, as only it knows
// where the arc starts: an opening angle (AR=), full turns (TURN=), a point
// the arc passes through (CIP with I1= J1= K1=). Bits of arcForm. The
// driver also starts a modal call (MCALL) there, from the block after it:
// the MCALL block itself marks no drilling point.
enum ArcForm : uint8_t {
  ARC_PLAIN = 0, ARC_ANGLE = 1, ARC_TURNS = 2, ARC_VIA = 4, CALL_FROM_NEXT = 8, CALL_STARTS = 16
};

constexpr int COMMENT_SIZE = 200;  // 199 characters and the NUL
constexpr int MAX_COMMENTS = 3;

// All state of one run. Value-initialise it (NcPathContext ctx{};), then set
// colours, drawing area and canvases; the driver resets words, modes and flags
// at each pass start itself.
struct NcPathContext {
  int32_t lineRed = 0, lineGreen = 0, lineBlue = 255;     // path lines
  int32_t markerRed = 48, markerGreen = 74, markerBlue = 128;  // drilling points

  double words[SLOT_COUNT];          // X Y Z I J K R by slot; NOT_GIVEN until stored; modal
  bool wordGiven[SLOT_COUNT];        // the slot was stored in the current block

  bool modeRapid = false;            // G0 G00 FMAX F9999
  bool modeLinear = false;           // G1 G01 "L "
  bool modeArcCw = false;            // G2 G02, "C " with DR-
  bool modeArcCcw = false;           // G3 G03, "C " with DR+
  bool incremental[3] = {};          // G91 sets X Y Z incremental, G90 clears
  bool centerRelI = true;            // I is an offset from the arc start (0: absolute, after CC)
  bool centerRelJ = true;            // J likewise
  bool ccBlock = false;              // the current block is a TNC "CC" circle centre
  bool modeCycle = false;            // G81 G74 G73 G83 G84 G82: positions are drilling points
  bool inchProgram = false;          // G20 (G21 back to mm); TNC: BEGIN PGM .. INCH
  bool machineBlock = false;         // the block is in machine coordinates: G53 G28 G30, TNC M91 M92
  bool modalCall = false;            // MCALL of a drilling cycle: positions are drilling points

  uint8_t arcForm = ARC_PLAIN;       // Sinumerik arc words of the current block
  double arcAngle = 0.0;             // AR= (degrees)
  double arcVia[3] = {};             // I1= J1= K1=, as written
  bool arcViaGiven[3] = {};

  // TNC words of the current block that have no address slot.
  uint8_t tncBlock = TNC_NONE;       // set by the scanner for each block
  bool tncCentreGiven = false;       // a CC block named X or Y (else the centre is the position)
  double polarRadius = NOT_GIVEN;    // PR, or IPR when polarRadiusInc
  double polarAngle = NOT_GIVEN;     // PA (degrees), or IPA when polarAngleInc
  bool polarRadiusInc = false, polarAngleInc = false;
  double chamferLength = NOT_GIVEN;  // CHF L.. (or CHF ..)
  bool callsCycle = false;           // M99: the defined cycle runs at the block's end point

  // TNC cycle definitions of the current pass.
  bool cycleMarks = false;           // the cycle CYCL CALL runs marks a drilling point
  double datumShift[3] = {};         // X Y Z added to absolute coordinates (datum shift)
  bool planeTilted = false;          // a tilted working plane: moves are not drawn

  // TNC contour of the current pass: the last element waits one block for a
  // rounding or chamfer that may follow it.
  ContourMove heldMove;
  uint8_t heldCorner = TNC_NONE;     // TNC_ROUND or TNC_CHAMFER asked between held and next
  double heldCornerSize = 0.0;       // its radius or chamfer length

  double scale = 0.0;                // pixels per program unit (set by FitToView)
  double offsetX = 0.0, offsetY = 0.0;  // program-unit offsets added before scaling
  bool fitValid = false;             // scale and offsets are finite and usable

  int32_t canvasHeight = 251, canvasWidth = 251;  // drawing area in pixels
  int32_t marginX = 2, marginY = 2;  // pixel margins
  // Marker radius: when set (>= 0), in millimetres, so 1/25.4 unit in inch
  // programs; -1: canvasWidth / 150 program units, whatever the unit.
  int32_t markerUnits = -1;
  // The fit keeps the whole path inside a drawing area of any shape (a
  // preview pane); false fits by the larger range, which is the same for
  // the thumbnail's square area.
  bool fitInsideArea = false;

  int32_t plane = -1;                // -1 undecided, 1 XY (milling), 2 XZ (turning)
  double maxX = EMPTY_MAX, minX = EMPTY_MIN, maxY = EMPTY_MAX, minY = EMPTY_MIN;
  double countY = 0, countZ = 0;     // Y and Z letters met by the word reader
  int32_t isoHits = 0, tncHits = 0;  // dialect votes
  int32_t isTnc = 0;                 // 1: TNC conversational, 0: ISO

  int64_t blockCount = 0;            // blocks (lines) read by the drawing pass

  char commentText[COMMENT_SIZE] = {};  // comment of the current block
  bool hasComment = false;
  int32_t commentCount = 0;             // comments captured, 0..3
  char comments[MAX_COMMENTS][COMMENT_SIZE] = {};  // first three comments of the program

  PathCanvas* graphics = nullptr;    // lines and markers (thumbnail), or null
  PathCanvas* gdi = nullptr;         // lines only (export), drawn when gdiPenSelected
  bool gdiPenSelected = false;

  // Arcs by a sine and a cosine per chord point instead of the fast path:
  // the reference the fast path is tested against. Same calls, slower.
  bool arcsByDirectEvaluation = false;

  bool streamSizeKnown = false;      // streamSize holds the stream's end position
  uint64_t streamSize = 0;

  // Parametric programs: variables, calls, loops and the pass's budget.
  Evaluation eval;
};

// Driver: both passes over the source. Returns 1.
int DrawToolpath(NcPathContext& ctx, ByteSource& source);
// True when no byte is left before the next read.
bool AtStreamEnd(NcPathContext& ctx, StreamReader& reader);

// One line of the program as the block scanner and then the word reader
// read it: its bytes in the reader's buffer (valid until the reader moves)
// and where its address letters stand, which the scanner finds on its way.
struct BlockLine {
  static constexpr size_t kLimit = 257;  // bytes asked for: a block, CR-LF and one more
  static constexpr size_t kMaxGroups = (kLimit + 15) / 16;
  const uint8_t* bytes = nullptr;
  size_t length = 0;                // with its newline; 0: no byte left
  size_t groups = 0;                // 16-byte groups that `letters` holds
  uint16_t letters[kMaxGroups];     // one bit for each address letter, by group
  // A plain ISO block (ReadPlainBlock) has its words read on the scanner's
  // sweep: each letter's word slot and the number after it. -1: the word
  // reader reads the line itself.
  static constexpr int kMaxPlainWords = 8;
  int plainWords = -1;
  uint8_t plainSlots[kMaxPlainWords];
  double plainValues[kMaxPlainWords];
  // A TNC block the evaluator rewrote (parameters as their values): `bytes`
  // points at `text`, and the reader already stands at the block to run next.
  bool rewritten = false;
  static constexpr size_t kTextPadding = 16;  // the word reader loads 16 bytes at a time
  uint8_t text[kLimit + kTextPadding];
  // Words written AC(..) or IC(..) (Sinumerik): two bits a word, 1
  // absolute and 2 incremental whatever G90 or G91 says; 0 for all others.
  uint16_t wordModes = 0;
};
constexpr uint16_t kWordAbsolute = 1, kWordIncremental = 2;

// Block scanner. Returns -1 (no byte left), -2 (255 bytes or more before the
// newline; the reader stands after the 255th), 0 (no code text) or the number
// of keyword matches; in these two cases the reader stays at the block's
// first byte, for the word reader, and `line` holds the block's line.
int ScanBlock(NcPathContext& ctx, StreamReader& reader, BlockLine& line);
int ScanBlock(NcPathContext& ctx, StreamReader& reader);
// Whole-word match of `word` in the NUL-terminated `text`.
bool MatchWord(const char* text, const char* word);

// Address words of one block: -1 when no byte was left, else the number of
// words stored. Reads up to and including the block's newline; `line` is the
// one ScanBlock just showed, or the reader's line is read anew.
int ReadAddressWords(NcPathContext& ctx, StreamReader& reader, const BlockLine& line,
                     bool xyPlane);
int ReadAddressWords(NcPathContext& ctx, StreamReader& reader, bool xyPlane);
// The commonest ISO block, read in one sweep over the reader's unread bytes
// when its line lies whole among them: N words, at most one motion (G0 to
// G3, G00 to G03; `motion` receives its number, or -1), address words with
// plain numbers ([-]digits[.digits]) and spaces, nothing else. Fills `line`
// with its words. False for any other line, which the general way reads.
bool ReadPlainBlock(const StreamReader::Line& unread, BlockLine& line, int& motion);
// A block that NeedsEvaluation picked out: runs its statements and leaves
// the reader at the block to run next (elsewhere after a jump, a call or a
// return; at the end when the program ends there). What the block draws
// comes back as a plain block's: its address words in `line` and, in
// `keywords` (kKeywordTextSize bytes), its code text for the keyword scan
// with each value written as a number; returns that text's length.
// `lineLength`: the block's line with its newline.
constexpr size_t kKeywordTextSize = 256;
size_t EvaluateBlock(NcPathContext& ctx, StreamReader& reader, const char* code, size_t length,
                     size_t lineLength, BlockLine& line, char* keywords);
// Finds the address letters of all of `line` (its bytes and length set),
// of either case in ISO (`iso`), leaving out those in comments.
void FindAddressLetters(BlockLine& line, bool iso);
// The number after an address letter, as atof reads it, rounded to float.
// `at` moves to the byte that ended the number.
bool ReadNumber(const uint8_t*& at, const uint8_t* end, double& value);
// -1 undecided, 1 XY, 2 XZ from the Y and Z letter counts.
int DecidePlane(const NcPathContext& ctx, bool force);

// Plane geometry (program units, vertical axis up).
double VectorAngle(double x1, double y1, double x2, double y2);
double PointDistance(double x1, double y1, double x2, double y2);
double DirectionDegrees(double x1, double y1, double x2, double y2);
bool CircleIntersection(double x1, double y1, double r1, double x2, double y2, double r2,
                        bool clockwise, double& cx, double& cy);
void FitToView(double minX, double maxX, double minY, double maxY, int32_t width, int32_t height,
               double& scale, double& offsetX, double& offsetY);
// FitToView for an area of any shape: the smaller of the two scales, the
// path centred both ways. A path flat in either direction fits as in FitToView.
void FitInside(double minX, double maxX, double minY, double maxY, int32_t width, int32_t height,
               double& scale, double& offsetX, double& offsetY);

// Drawing and extents.
Pixel ToPixel(const NcPathContext& ctx, double h, double v);
void DrawLine(NcPathContext& ctx, double h1, double v1, double h2, double v2);
void DrawArcCw(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j);
void DrawArcCcw(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j);
void DrawArc(NcPathContext& ctx, double h1, double v1, double h2, double v2, double i, double j,
             bool clockwise);
void DrawMarker(NcPathContext& ctx, double h, double v);
void AddArcExtents(NcPathContext& ctx, double ch, double cv, double h1, double v1, double h2,
                   double v2, bool clockwise);
void AddPointExtents(NcPathContext& ctx, double h, double v);

// TNC cycle definitions, cycle calls and working planes in a block's code
// text (comments removed): sets tncBlock and the cycle state; false when
// the text holds neither CYCL nor PLANE.
bool ReadTncStructure(NcPathContext& ctx, const char* code, size_t length);

// TNC contour geometry (ContourGeometry.cpp). Each returns false when the
// figure does not exist; the caller then draws the elements as they are.
// Arc from `start`, tangent to the direction (th, tv) there, to (eh, ev).
bool TangentArc(double sh, double sv, double th, double tv, double eh, double ev,
                ContourMove& arc);
// Rounding of radius r between `before` (ending at the corner) and `after`
// (starting there): both are shortened to the tangent points.
bool RoundCorner(ContourMove& before, ContourMove& after, double r, ContourMove& rounding);
// Chamfer between two straight moves, `length` from the corner on each.
bool ChamferCorner(ContourMove& before, ContourMove& after, double length, ContourMove& chamfer);
// Direction of travel at the end (atEnd) or start of a move, not normalised.
void MoveTangent(const ContourMove& move, bool atEnd, double& th, double& tv);
