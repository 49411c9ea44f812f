// Free-format shortest digit generation over exact big integers: the value
// and the half-distances to its neighbours are held as r/s, m+/s and m-/s,
// scaled so that each step yields one decimal digit.
#include "numbers/shortest_digits.hpp"

#include <cmath>

#include "numbers/big_uint.hpp"
#include "numbers/float_bits.hpp"

namespace velmora {

ShortestDigits shortest_digits(float value) {
  ShortestDigits out;
  const std::uint32_t bits = float_bits(value) & kFloatMagnitudeBits;
  if (bits == 0) {
    out.digits[0] = '0';
    out.count = 1;
    return out;
  }
  const auto [f, e] = float_parts(bits);
  // Reading rounds to nearest with ties to even, so an even mantissa owns
  // the end points of its rounding interval.
  const bool even = (f & 1u) == 0;
  // The gap below a power of two is half the gap above it.
  // (The smallest normal's gap below is the subnormals', the same.)
  const bool unequal_gaps = f == kFloatHiddenBit && e > kFloatLeastExponent;

  BigUint r, s, m_plus, m_minus;
  if (e >= 0) {
    if (!unequal_gaps) {
      r = BigUint(f);
      r.shift_left(e + 1);
      s = BigUint(2);
      m_plus = BigUint(1);
      m_plus.shift_left(e);
    } else {
      r = BigUint(f);
      r.shift_left(e + 2);
      s = BigUint(4);
      m_plus = BigUint(1);
      m_plus.shift_left(e + 1);
    }
    m_minus = BigUint(1);
    m_minus.shift_left(e);
  } else {
    if (!unequal_gaps) {
      r = BigUint(std::uint64_t{f} * 2);
      s = BigUint(1);
      s.shift_left(1 - e);
      m_plus = BigUint(1);
    } else {
      r = BigUint(std::uint64_t{f} * 4);
      s = BigUint(1);
      s.shift_left(2 - e);
      m_plus = BigUint(2);
    }
    m_minus = BigUint(1);
  }

  // k is the number of digits before the point in 0.d1d2... * 10^k. The
  // estimate from the leading bit never exceeds the true k; the loop below
  // raises it where needed.
  const int top_bit = e + std::bit_width(f) - 1;  // the value lies in [2^top_bit, 2^(top_bit+1))
  int k = static_cast<int>(std::ceil(top_bit * 0.30102999566398114 - 1e-10));
  if (k >= 0) {
    s.mul_pow10(k);
  } else {
    r.mul_pow10(-k);
    m_plus.mul_pow10(-k);
    m_minus.mul_pow10(-k);
  }
  for (;;) {
    int high = compare_sum(r, m_plus, s);
    if (high > 0 || (even && high == 0)) {
      s.mul_small(10);
      ++k;
    } else {
      break;
    }
  }

  for (;;) {
    r.mul_small(10);
    m_plus.mul_small(10);
    m_minus.mul_small(10);
    int digit = 0;
    while (compare(r, s) >= 0) {
      r.sub(s);
      ++digit;
    }
    int low_cmp = compare(r, m_minus);
    int high_cmp = compare_sum(r, m_plus, s);
    bool low_ok = low_cmp < 0 || (even && low_cmp == 0);
    bool high_ok = high_cmp > 0 || (even && high_cmp == 0);
    if (!low_ok && !high_ok) {
      out.digits[out.count++] = static_cast<char>('0' + digit);
      continue;
    }
    if (low_ok && high_ok) {
      BigUint twice_r = r;
      twice_r.shift_left(1);
      if (compare(twice_r, s) >= 0) ++digit;
    } else if (high_ok) {
      ++digit;
    }
    out.digits[out.count++] = static_cast<char>('0' + digit);
    break;
  }
  out.exponent = k - 1;
  return out;
}

}  // namespace velmora
