// Shortest decimal digits of a single-precision value: the fewest digits that
// read back, rounding to nearest, as the same float. Digits are generated one
// at a time from the exact stored value by the free-format method; when both
// the digit as generated and the digit plus one would end a valid shortest
// string, the digit plus one is taken if the remainder is at least half a
// unit of the last place.
#pragma once

#include <cstdint>

namespace velmora {

struct ShortestDigits {
  char digits[12] = {};  // ASCII digits, no terminator; a float needs at most 9
  int count = 0;
  int exponent = 0;  // decimal exponent of the first digit: d1.d2d3... * 10^exponent
};

// For a finite value; the sign is ignored. Zero gives the single digit 0.
ShortestDigits shortest_digits(float value);

}  // namespace velmora
