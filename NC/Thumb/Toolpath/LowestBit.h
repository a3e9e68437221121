#pragma once

#include <cstdint>

// Index of the lowest bit set in `mask`, which is not empty. The scanner and
// the word reader walk their bit sets of matches with it.
inline int LowestBit(uint64_t mask) {
#if defined(__GNUC__)
  return __builtin_ctzll(mask);
#else
  int k = 0;
  while ((mask & 1u) == 0) mask >>= 1, ++k;
  return k;
#endif
}
