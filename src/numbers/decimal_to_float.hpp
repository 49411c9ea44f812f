// Conversion of a decimal number, given as its significant digits and the
// position of its decimal point, to the nearest single-precision value (ties
// to the even value). Exact for any number of digits: every platform must
// read the same float from the same text, so no library routine is trusted
// with it.
#pragma once

#include <cstdint>

namespace velmora {

// A non-negative decimal value 0.d1 d2 d3 ... times 10^point. Only the first
// kMaxDigits significant digits are kept; whether any non-zero digit came
// after them is remembered, which is all that exact rounding needs (a float
// or a midpoint between two floats never has more than 113 significant
// digits).
struct DecimalDigits {
  static constexpr int kMaxDigits = 120;
  unsigned char digits[kMaxDigits] = {};  // values 0..9, digits[0] != 0
  int count = 0;
  bool dropped_nonzero = false;
  std::int64_t point = 0;

  // Appends the next significant digit (0..9); the first must not be 0.
  void push(int digit) {
    if (count < kMaxDigits) {
      digits[count++] = static_cast<unsigned char>(digit);
    } else if (digit != 0) {
      dropped_nonzero = true;
    }
  }
};

// The nearest float to the value; beyond the float range it is infinity,
// below it a subnormal value or zero.
float decimal_to_float(const DecimalDigits& value);

}  // namespace velmora
