#pragma once
// What the first bytes of a file tell before it is interpreted: whether it
// is text at all, and the length unit the program declares. Controls expect
// the unit at the program's head (a TNC program's BEGIN PGM line, G20 or
// G21 among an ISO program's first blocks), so the head is enough.
#include <cstdint>

#include "ByteSource.h"

// Bytes at the start of a file in which a NUL marks it as binary data, and
// in which the unit is looked for.
constexpr uint32_t TEXT_PROBE_BYTES = 64 * 1024;

enum class ProgramUnit { Unknown, Millimetre, Inch };

struct ProgramHead {
  bool binary = false;  // a NUL byte among the first TEXT_PROBE_BYTES
  ProgramUnit unit = ProgramUnit::Unknown;
};

// Reads the head of `source` (from its start) and goes back to its start.
// False when the source cannot be read or cannot seek.
bool ReadProgramHead(ByteSource& source, ProgramHead& head);

// The unit the program text in `bytes` declares: "MM" or "INCH" on a
// BEGIN PGM line, or the first G20 (inch) or G21 (mm) word outside
// comments. Unknown when it says neither.
ProgramUnit FindProgramUnit(const char* bytes, uint32_t size);
