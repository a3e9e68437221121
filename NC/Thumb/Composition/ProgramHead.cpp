#include "ProgramHead.h"

#include <cstring>
#include <vector>

namespace {

bool IsLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A whole word `word` in the line [at, end), case as written.
bool LineHoldsWord(const char* at, const char* end, const char* word) {
  const size_t length = std::strlen(word);
  for (const char* p = at; p + length <= end; ++p) {
    if (std::memcmp(p, word, length) != 0) continue;
    const bool startsWord = p == at || !IsLetterOrDigit(p[-1]);
    const bool endsWord = p + length == end || !IsLetterOrDigit(p[length]);
    if (startsWord && endsWord) return true;
  }
  return false;
}

// The unit one ISO line names with G20 or G21 (also G020, g21), outside
// comments in parentheses and after a semicolon.
ProgramUnit IsoLineUnit(const char* at, const char* end) {
  bool inComment = false;
  for (const char* p = at; p < end; ++p) {
    if (*p == ';') break;
    if (*p == '(') inComment = true;
    if (*p == ')') inComment = false;
    if (inComment || (*p != 'G' && *p != 'g')) continue;
    if (p > at && IsLetterOrDigit(p[-1])) continue;
    const char* digits = p + 1;
    while (digits < end && *digits == '0') ++digits;
    if (end - digits < 2 || digits[0] != '2' || (digits[1] != '0' && digits[1] != '1')) continue;
    if (digits + 2 < end && (digits[2] >= '0' && digits[2] <= '9')) continue;
    return digits[1] == '0' ? ProgramUnit::Inch : ProgramUnit::Millimetre;
  }
  return ProgramUnit::Unknown;
}

}  // namespace

ProgramUnit FindProgramUnit(const char* bytes, uint32_t size) {
  const char* const end = bytes + size;
  for (const char* line = bytes; line < end;) {
    const void* newline = std::memchr(line, '\n', static_cast<size_t>(end - line));
    const char* lineEnd = newline != nullptr ? static_cast<const char*>(newline) : end;
    if (LineHoldsWord(line, lineEnd, "BEGIN") && LineHoldsWord(line, lineEnd, "PGM")) {
      if (LineHoldsWord(line, lineEnd, "MM")) return ProgramUnit::Millimetre;
      if (LineHoldsWord(line, lineEnd, "INCH")) return ProgramUnit::Inch;
    } else {
      const ProgramUnit unit = IsoLineUnit(line, lineEnd);
      if (unit != ProgramUnit::Unknown) return unit;
    }
    line = lineEnd + 1;
  }
  return ProgramUnit::Unknown;
}

bool ReadProgramHead(ByteSource& source, ProgramHead& head) {
  head = ProgramHead{};
  // From the first byte, wherever an earlier reader left the source.
  if (!source.Seek(0, SeekOrigin::Set, nullptr)) return false;
  std::vector<char> probe(TEXT_PROBE_BYTES);
  uint32_t filled = 0;
  bool readFailed = false;
  while (filled < TEXT_PROBE_BYTES) {
    uint32_t got = 0;
    if (!source.Read(probe.data() + filled, TEXT_PROBE_BYTES - filled, &got)) {
      readFailed = true;
      break;
    }
    if (got == 0) break;
    filled += got;
  }
  const bool seekFailed = !source.Seek(0, SeekOrigin::Set, nullptr);
  head.binary = std::memchr(probe.data(), '\0', filled) != nullptr;
  if (!head.binary) head.unit = FindProgramUnit(probe.data(), filled);
  return !readFailed && !seekFailed;
}
