#pragma once
// Writes synthetic ISO milling programs for the benchmark: linear moves, arcs
// by I/J and by R (negative R for arcs over 180 degrees), drilling cycles,
// rapid moves and a few comments, formatted as a CAM post-processor would
// (N1234 G1 X12.345 Y-3.210 F800). The same block count and seed always give
// the same bytes.
#include <cstdint>
#include <cstdio>
#include <string>

struct GeneratorStats {
  uint64_t blocks = 0;      // lines written, header and footer included
  uint64_t bytes = 0;
  uint64_t lines = 0;       // G1 moves in the plane
  uint64_t arcsIJ = 0;      // G2/G3 with I and J
  uint64_t arcsR = 0;       // G2/G3 with a positive R
  uint64_t arcsNegR = 0;    // G2/G3 with a negative R (more than 180 degrees)
  uint64_t drillPoints = 0; // positions inside a G81 cycle
  uint64_t rapids = 0;      // G0 blocks
  uint64_t comments = 0;    // blocks holding a comment
};

constexpr uint64_t kDefaultSeed = 20240611;

// How far the tool goes per block. Contours: moves of a few millimetres and
// small arcs, as in a finishing program of that size. Dense: long moves and
// arcs of up to 25 mm radius, so that every block crosses many pixels (the
// drawing's worst case). The last three are the speed goals' programs, each
// of one kind of move: Spiral, a surface-finishing spiral of tiny moves (half
// straight moves, a quarter I/J half-circles, a quarter R arcs); Arcs, arcs
// by I/J of 3 to 40 pixels radius in the thumbnail; Facing, passes across a
// 100 x 100 part, every other move a long one. Parametric: the spiral's
// count of straight moves from a 23-line program, a while loop whose four
// moves a block each compute their point with COS and SIN.
enum class ProgramStyle { Contours, Dense, Spiral, Arcs, Facing, Parametric };

// The tool stays inside this part area (program units, millimetres).
constexpr double kPartWidth = 200.0;
constexpr double kPartHeight = 150.0;

// The program as a string (for tests and small sizes).
std::string GenerateProgramText(uint64_t blocks, uint64_t seed = kDefaultSeed,
                                GeneratorStats* stats = nullptr,
                                ProgramStyle style = ProgramStyle::Contours);
// The program written to `path`; false when the file cannot be written.
bool WriteProgramFile(const char* path, uint64_t blocks, uint64_t seed = kDefaultSeed,
                      GeneratorStats* stats = nullptr, ProgramStyle style = ProgramStyle::Contours);
