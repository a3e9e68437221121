#include "ProgramGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.141592653589793;

// splitmix64: small, fast and the same on every platform and library, which
// the standard distributions are not.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Between(double low, double high) { return low + (high - low) * Unit(); }
  // Uniform integer in [low, high].
  int Range(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
  }
  bool Chance(double p) { return Unit() < p; }

 private:
  uint64_t state_;
};

// Coordinates are kept in thousandths, as printed, so that what the program
// says and what the generator computes with are the same numbers.
int64_t Thousandths(double value) { return static_cast<int64_t>(std::llround(value * 1000.0)); }
double Units(int64_t thousandths) { return static_cast<double>(thousandths) / 1000.0; }

// Collects the program text; WriteProgramFile flushes it in large pieces.
class ProgramWriter {
 public:
  ProgramWriter(uint64_t blocks, uint64_t seed, ProgramStyle style, FILE* file)
      : random_(seed), blocksWanted_(blocks), file_(file) {
    if (style == ProgramStyle::Dense) {
      moveReach_ = 10.0;
      minRadius_ = 1.0;
      maxRadius_ = 25.0;
    }
  }

  GeneratorStats Run();
  GeneratorStats RunSpiral();
  GeneratorStats RunArcs();
  GeneratorStats RunFacing();
  GeneratorStats RunParametric();
  std::string& Text() { return text_; }
  bool Failed() const { return failed_; }

 private:
  // One block: "N<n>" then the words appended, then the newline.
  void Begin() {
    text_ += 'N';
    AppendInteger(++blockNumber_);
  }
  void End() {
    text_ += '\n';
    ++stats_.blocks;
    if (file_ != nullptr && text_.size() >= kFlushSize) Flush();
  }
  void Word(const char* word) {
    text_ += ' ';
    text_ += word;
  }
  void Coordinate(char letter, int64_t thousandths) {
    text_ += ' ';
    text_ += letter;
    AppendFixed3(thousandths);
  }
  void AppendInteger(uint64_t value) {
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) text_ += digits[--n];
  }
  // 12.345, -3.210, 0.500: three decimals, as most post-processors write.
  void AppendFixed3(int64_t thousandths) {
    if (thousandths < 0) {
      text_ += '-';
      thousandths = -thousandths;
    }
    const uint64_t magnitude = static_cast<uint64_t>(thousandths);
    AppendInteger(magnitude / 1000);
    const unsigned fraction = static_cast<unsigned>(magnitude % 1000);
    text_ += '.';
    text_ += static_cast<char>('0' + fraction / 100);
    text_ += static_cast<char>('0' + fraction / 10 % 10);
    text_ += static_cast<char>('0' + fraction % 10);
  }
  void Flush() {
    if (!text_.empty() && std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) {
      failed_ = true;
    }
    stats_.bytes += text_.size();
    text_.clear();
  }

  uint64_t BlocksLeft() const {
    return stats_.blocks < blocksWanted_ ? blocksWanted_ - stats_.blocks : 0;
  }

  // The motion word, left out when it repeats the previous one, as a
  // post-processor does for modal codes (about half the time here).
  void Motion(int code) {
    static const char* const kCodes[] = {"G0", "G1", "G2", "G3"};
    if (code != motion_ || random_.Chance(0.5)) Word(kCodes[code]);
    motion_ = code;
  }

  void Header();
  void Footer();
  void Finish();
  void Coordinates(int64_t x, int64_t y) {
    Coordinate('X', x);
    Coordinate('Y', y);
  }
  void Section();
  void Contour(int moves);
  void LinearMove();
  void ArcMove();
  void Drilling();
  void RapidTo(int64_t x, int64_t y);
  void CommentBlock(const char* text, uint64_t number);

  // A step of up to `reach` from `from`, reflected at the part's edges
  // [0, size], so that the path wanders but stays on the part.
  double Wander(double from, double size, double reach) {
    double to = from + random_.Between(-reach, reach);
    if (to < 0) to = -to;
    if (to > size) to = 2 * size - to;
    return to < 0 ? 0 : to;
  }

  static constexpr size_t kFlushSize = 1 << 16;

  Random random_;
  uint64_t blocksWanted_;
  FILE* file_;
  std::string text_;
  bool failed_ = false;
  GeneratorStats stats_;
  uint64_t blockNumber_ = 0;
  uint64_t sectionNumber_ = 0;
  int motion_ = -1;  // last motion code written, -1 none
  int64_t x_ = 0, y_ = 0;  // tool position in thousandths
  double moveReach_ = 2.0;  // longest step of a straight move per axis
  double minRadius_ = 0.5, maxRadius_ = 6.0;
};

GeneratorStats ProgramWriter::Run() {
  Header();
  // Four blocks for the footer; sections stop early enough to leave room.
  while (BlocksLeft() > 4) Section();
  Finish();
  return stats_;
}

void ProgramWriter::Finish() {
  Footer();
  while (BlocksLeft() > 0) {  // pad tiny programs to the asked count
    Begin();
    Word("M1");
    End();
  }
  if (file_ != nullptr) Flush();
  else stats_.bytes = text_.size();
}

// An Archimedean spiral from the middle of a 100 mm part outwards, 100 turns,
// walked in steps of equal length. Each group of four steps is a straight
// move, a half-circle over the step (centre by I and J), a straight move and
// an arc of 60 degrees (radius equal to the step).
GeneratorStats ProgramWriter::RunSpiral() {
  Header();
  const uint64_t steps = BlocksLeft() > 8 ? BlocksLeft() - 8 : 0;
  constexpr double kTurns = 100.0, kInner = 1.0, kOuter = 49.0, kMiddle = 50.0;
  // Step length: the spiral's length shared out evenly.
  const double length = 2 * kPi * kTurns * (kInner + kOuter) / 2;
  const double step = steps > 0 ? length / static_cast<double>(steps) : 1.0;
  double angle = 0, radius = kInner;
  RapidTo(Thousandths(kMiddle + radius), Thousandths(kMiddle));
  for (uint64_t n = 0; n < steps; ++n) {
    angle += step / radius;
    radius = kInner + (kOuter - kInner) * angle / (2 * kPi * kTurns);
    const int64_t x = Thousandths(kMiddle + radius * std::cos(angle));
    const int64_t y = Thousandths(kMiddle + radius * std::sin(angle));
    Begin();
    switch (n % 4) {
      case 0:
      case 2:
        Word("G1");
        Coordinates(x, y);
        ++stats_.lines;
        break;
      case 1:
        Word(n % 8 == 1 ? "G3" : "G2");
        Coordinates(x, y);
        Coordinate('I', (x - x_) / 2);
        Coordinate('J', (y - y_) / 2);
        ++stats_.arcsIJ;
        break;
      default: {
        Word("G2");
        Coordinates(x, y);
        const int64_t chord = Thousandths(std::hypot(Units(x - x_), Units(y - y_)));
        Coordinate('R', chord > 0 ? chord : 1);
        ++stats_.arcsR;
        break;
      }
    }
    if (n == 0) Word("F1000");  // a feed for the moves, as any program has
    End();
    x_ = x;
    y_ = y;
  }
  motion_ = -1;
  Finish();
  return stats_;
}

// Arcs only, each from where the last ended: radius 3 to 40 pixels of the
// 251-pixel drawing area over a part of about 100 mm, sweep 20 to 340
// degrees, either direction, centre towards the part's middle.
GeneratorStats ProgramWriter::RunArcs() {
  Header();
  constexpr double kPart = 100.0, kPixelsPerUnit = 251.0 / 110.0;
  RapidTo(Thousandths(kPart / 2), Thousandths(kPart / 2));
  while (BlocksLeft() > 4) {
    const double px = Units(x_), py = Units(y_);
    const double r = random_.Between(3.0, 40.0) / kPixelsPerUnit;
    const double toMiddle = std::atan2(kPart / 2 - py, kPart / 2 - px);
    const double centreAngle = toMiddle + random_.Between(-1.0, 1.0);
    const int64_t cx = Thousandths(px + r * std::cos(centreAngle));
    const int64_t cy = Thousandths(py + r * std::sin(centreAngle));
    const bool clockwise = random_.Chance(0.5);
    const double sweep = random_.Between(20.0, 340.0) * kPi / 180.0 * (clockwise ? -1.0 : 1.0);
    const double start = std::atan2(py - Units(cy), px - Units(cx));
    const int64_t ex = Thousandths(Units(cx) + r * std::cos(start + sweep));
    const int64_t ey = Thousandths(Units(cy) + r * std::sin(start + sweep));
    Begin();
    Word(clockwise ? "G2" : "G3");
    Coordinates(ex, ey);
    Coordinate('I', cx - x_);
    Coordinate('J', cy - y_);
    if (stats_.arcsIJ == 0) Word("F1000");
    End();
    ++stats_.arcsIJ;
    x_ = ex;
    y_ = ey;
  }
  motion_ = -1;
  Finish();
  return stats_;
}

// Facing a 100 x 100 part: a pass across, a step over of the width shared
// out among the passes, the next pass back.
GeneratorStats ProgramWriter::RunFacing() {
  Header();
  const uint64_t moves = BlocksLeft() > 5 ? BlocksLeft() - 5 : 0;
  const int64_t stepOver = moves > 1 ? std::max<int64_t>(1, 200000 / static_cast<int64_t>(moves)) : 1000;
  RapidTo(0, 0);
  for (uint64_t n = 0; n < moves; ++n) {
    Begin();
    Word("G1");
    if (n % 2 == 0) {
      Coordinate('X', x_ == 0 ? 100000 : 0);
      x_ = x_ == 0 ? 100000 : 0;
    } else {
      y_ = std::min<int64_t>(y_ + stepOver, 100000);
      Coordinate('Y', y_);
    }
    if (n == 0) Word("F1000");
    End();
    ++stats_.lines;
  }
  motion_ = -1;
  Finish();
  return stats_;
}

// The spiral from a loop: `blocksWanted_` straight moves (a multiple of
// four) around the middle of a 100 mm part, 100 turns from radius 1 to 49,
// written with o-words so that rs274 reads it too.
GeneratorStats ProgramWriter::RunParametric() {
  const uint64_t moves = (blocksWanted_ + 3) / 4 * 4;
  text_ += "%\nO2001 (PARAMETRIC SPIRAL)\nN1 G90 G17 G21\nN2 T1 M6\nN3 S12000 M3\n#1=";
  AppendInteger(moves);
  text_ +=
      " (MOVES)\n"
      "#2=[360*100]/#1 (DEGREES PER MOVE, 100 TURNS)\n"
      "#3=[49-1]/#1 (RADIUS GROWTH PER MOVE)\n"
      "#10=0 (MOVES MADE)\n"
      "G0 X51. Y50.\n"
      "G1 F1000\n"
      "o100 while [#10 LT #1]\n"
      "#11=#10*#2\n"
      "#12=1+#10*#3\n"
      "G1 X[50+#12*COS[#11]] Y[50+#12*SIN[#11]]\n"
      "G1 X[50+[#12+#3]*COS[#11+#2]] Y[50+[#12+#3]*SIN[#11+#2]]\n"
      "G1 X[50+[#12+2*#3]*COS[#11+2*#2]] Y[50+[#12+2*#3]*SIN[#11+2*#2]]\n"
      "G1 X[50+[#12+3*#3]*COS[#11+3*#2]] Y[50+[#12+3*#3]*SIN[#11+3*#2]]\n"
      "#10=#10+4\n"
      "o100 endwhile\n"
      "G0 Z50.\n"
      "M30\n"
      "%\n";
  stats_.lines = moves;
  stats_.rapids = 2;
  stats_.comments = 5;
  for (const char c : text_) stats_.blocks += c == '\n';
  if (file_ != nullptr) Flush();
  else stats_.bytes = text_.size();
  return stats_;
}

void ProgramWriter::Header() {
  if (BlocksLeft() == 0) return;
  text_ += "%\n";
  ++stats_.blocks;
  if (BlocksLeft() == 0) return;
  text_ += "O1001 (BENCH PART)\n";
  ++stats_.blocks;
  ++stats_.comments;
  const char* const setup[] = {"G90 G17 G21 G40 G49", "T1 M6", "S12000 M3", "G54"};
  for (const char* words : setup) {
    if (BlocksLeft() <= 1) break;
    Begin();
    Word(words);
    End();
  }
}

void ProgramWriter::Footer() {
  const char* const footer[] = {"G0 Z50.", "M5", "M30"};
  for (const char* words : footer) {
    if (BlocksLeft() == 0) return;
    Begin();
    Word(words);
    End();
    motion_ = -1;
  }
  if (BlocksLeft() == 0) return;
  text_ += "%\n";
  ++stats_.blocks;
}

void ProgramWriter::CommentBlock(const char* text, uint64_t number) {
  Begin();
  text_ += " (";
  text_ += text;
  text_ += ' ';
  AppendInteger(number);
  text_ += ')';
  End();
  ++stats_.comments;
}

// A section: a comment now and then, a rapid approach, then a contour or a
// drilling pattern, then the retract.
void ProgramWriter::Section() {
  ++sectionNumber_;
  if (sectionNumber_ % 16 == 1 && BlocksLeft() > 5) {
    CommentBlock(sectionNumber_ % 3 == 0 ? "FINISH CONTOUR" : "ROUGH POCKET", sectionNumber_);
  }
  if (random_.Chance(0.12)) {
    Drilling();
    return;
  }
  RapidTo(Thousandths(random_.Between(0, kPartWidth)), Thousandths(random_.Between(0, kPartHeight)));
  if (BlocksLeft() <= 5) return;
  Begin();  // plunge
  Motion(1);
  Coordinate('Z', -Thousandths(random_.Between(0.5, 6.0)));
  Word("F300");
  End();
  Contour(random_.Range(20, 120));
  if (BlocksLeft() <= 4) return;
  Begin();  // retract
  Motion(0);
  Word("Z5.");
  End();
  ++stats_.rapids;
}

void ProgramWriter::RapidTo(int64_t x, int64_t y) {
  Begin();
  Motion(0);
  Coordinate('X', x);
  Coordinate('Y', y);
  End();
  ++stats_.rapids;
  x_ = x;
  y_ = y;
}

void ProgramWriter::Contour(int moves) {
  for (int k = 0; k < moves && BlocksLeft() > 5; ++k) {
    if (random_.Chance(0.6)) {
      LinearMove();
    } else {
      ArcMove();
    }
  }
}

void ProgramWriter::LinearMove() {
  int64_t x = x_, y = y_;
  const double kind = random_.Unit();
  if (kind < 0.2) {
    x = Thousandths(Wander(Units(x_), kPartWidth, 1.5 * moveReach_));  // along X only
  } else if (kind < 0.4) {
    y = Thousandths(Wander(Units(y_), kPartHeight, 1.5 * moveReach_));  // along Y only
  } else {
    x = Thousandths(Wander(Units(x_), kPartWidth, moveReach_));
    y = Thousandths(Wander(Units(y_), kPartHeight, moveReach_));
  }
  if (x == x_ && y == y_) x += 1000;
  Begin();
  const bool newFeed = motion_ != 1;
  Motion(1);
  if (x != x_) Coordinate('X', x);
  if (y != y_) Coordinate('Y', y);
  if (newFeed) Word("F800");
  End();
  ++stats_.lines;
  x_ = x;
  y_ = y;
}

// An arc from the tool position: a centre at radius r, a sweep, and the end
// on the circle. Written with I and J, or with R (negative past 180 degrees).
void ProgramWriter::ArcMove() {
  const double px = Units(x_), py = Units(y_);
  const double r = random_.Between(minRadius_, maxRadius_);
  // The centre lies roughly towards the part's middle, so the arc bends back.
  const double toMiddle = std::atan2(kPartHeight / 2 - py, kPartWidth / 2 - px);
  const double centreAngle = toMiddle + random_.Between(-1.2, 1.2);
  const int64_t cx = Thousandths(px + r * std::cos(centreAngle));
  const int64_t cy = Thousandths(py + r * std::sin(centreAngle));

  const double form = random_.Unit();
  const bool useIJ = form < 0.5;
  const bool negativeR = !useIJ && form > 0.85;
  double sweepDegrees = negativeR ? random_.Between(195.0, 340.0) : random_.Between(15.0, 165.0);
  if (useIJ && random_.Chance(0.2)) sweepDegrees = random_.Between(180.0, 330.0);
  const bool clockwise = random_.Chance(0.5);

  const double startAngle = std::atan2(py - Units(cy), px - Units(cx));
  const double realR = std::hypot(px - Units(cx), py - Units(cy));
  const double sweep = sweepDegrees * kPi / 180.0 * (clockwise ? -1.0 : 1.0);
  const int64_t ex = Thousandths(Units(cx) + realR * std::cos(startAngle + sweep));
  const int64_t ey = Thousandths(Units(cy) + realR * std::sin(startAngle + sweep));
  if (ex == x_ && ey == y_) {
    LinearMove();  // a sweep too small to be seen: a straight move instead
    return;
  }

  Begin();
  Motion(clockwise ? 2 : 3);
  Coordinate('X', ex);
  Coordinate('Y', ey);
  if (useIJ) {
    Coordinate('I', cx - x_);
    Coordinate('J', cy - y_);
    ++stats_.arcsIJ;
  } else {
    const int64_t radius = Thousandths(realR);
    Coordinate('R', negativeR ? -radius : radius);
    ++(negativeR ? stats_.arcsNegR : stats_.arcsR);
  }
  if (random_.Chance(0.1)) Word("F600");
  End();
  x_ = ex;
  y_ = ey;
}

// A G81 cycle over a row or a bolt circle of holes; G0 ends it.
void ProgramWriter::Drilling() {
  const int holes = random_.Range(3, 12);
  if (BlocksLeft() < static_cast<uint64_t>(holes) + 8) return;
  const double baseX = random_.Between(15.0, kPartWidth - 15.0);
  const double baseY = random_.Between(15.0, kPartHeight - 15.0);
  const bool circle = random_.Chance(0.5);
  const double spacing = random_.Between(4.0, 15.0);

  RapidTo(Thousandths(baseX), Thousandths(baseY));
  for (int h = 0; h < holes; ++h) {
    double hx = baseX + spacing * h, hy = baseY;
    if (circle) {
      const double a = 2.0 * kPi * h / holes;
      hx = baseX + spacing * std::cos(a);
      hy = baseY + spacing * std::sin(a);
    }
    const int64_t x = Thousandths(hx), y = Thousandths(hy);
    Begin();
    if (h == 0) Word("G81");
    Coordinate('X', x);
    Coordinate('Y', y);
    if (h == 0) Word("Z-8. R2. F150");
    End();
    ++stats_.drillPoints;
    x_ = x;
    y_ = y;
  }
  Begin();
  Word("G80");
  End();
  motion_ = -1;
  Begin();
  Motion(0);
  Word("Z5.");
  End();
  ++stats_.rapids;
}

GeneratorStats RunStyle(ProgramWriter& writer, ProgramStyle style) {
  switch (style) {
    case ProgramStyle::Spiral: return writer.RunSpiral();
    case ProgramStyle::Arcs: return writer.RunArcs();
    case ProgramStyle::Facing: return writer.RunFacing();
    case ProgramStyle::Parametric: return writer.RunParametric();
    default: return writer.Run();
  }
}

}  // namespace

std::string GenerateProgramText(uint64_t blocks, uint64_t seed, GeneratorStats* stats,
                                ProgramStyle style) {
  ProgramWriter writer(blocks, seed, style, nullptr);
  const GeneratorStats result = RunStyle(writer, style);
  if (stats != nullptr) *stats = result;
  return std::move(writer.Text());
}

bool WriteProgramFile(const char* path, uint64_t blocks, uint64_t seed, GeneratorStats* stats,
                      ProgramStyle style) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  ProgramWriter writer(blocks, seed, style, file);
  const GeneratorStats result = RunStyle(writer, style);
  const bool closed = std::fclose(file) == 0;
  if (stats != nullptr) *stats = result;
  return closed && !writer.Failed();
}
