#include "BlockRunner.h"

#include <cmath>

void BlockRunner::EmitNumber(double value) {
  if (value < 0) {
    Emit('-');
    value = -value;
  }
  const auto scaled = static_cast<uint64_t>(std::llround(value * 10000));
  uint64_t integer = scaled / 10000;
  uint64_t fraction = scaled % 10000;
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + integer % 10);
    integer /= 10;
  } while (integer != 0);
  while (n > 0) Emit(digits[--n]);
  if (fraction == 0) return;
  Emit('.');
  for (uint64_t scale = 1000; fraction != 0; scale /= 10) {
    Emit(static_cast<char>('0' + fraction / scale));
    fraction %= scale;
  }
}
