#pragma once
// The address letters, X Y Z I J K R: the bytes the word reader stores a
// number after. The block scanner marks them while it sweeps a line for its
// keywords, so that the word reader need not sweep it again.
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

constexpr bool IsAddressLetter(uint8_t b) {
  return (b >= 'X' && b <= 'Z') || (b >= 'I' && b <= 'K') || b == 'R';
}

#if defined(__SSE2__)
// One bit for each address letter among 16 bytes: I J K and X Y Z are two
// runs of three, tested as ranges.
inline unsigned AddressLetterBits(__m128i group) {
  const __m128i two = _mm_set1_epi8(2);
  const __m128i fromI = _mm_sub_epi8(group, _mm_set1_epi8('I'));
  const __m128i fromX = _mm_sub_epi8(group, _mm_set1_epi8('X'));
  const __m128i ijk = _mm_cmpeq_epi8(_mm_min_epu8(fromI, two), fromI);
  const __m128i xyz = _mm_cmpeq_epi8(_mm_min_epu8(fromX, two), fromX);
  const __m128i r = _mm_cmpeq_epi8(group, _mm_set1_epi8('R'));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(ijk, xyz), r)));
}
#endif
