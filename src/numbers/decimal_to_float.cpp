// Exact decimal-to-float conversion. Short inputs (at most seven significant
// digits, powers of ten up to 10^10) take a fast path that is exact because
// both operands are floats and double carries more than twice their
// precision. All others get a close candidate from double arithmetic and are
// then settled by exact big-integer comparisons with the midpoints between
// neighbouring floats.
#include "numbers/decimal_to_float.hpp"

#include <bit>
#include <cmath>
#include <limits>

#include "numbers/big_uint.hpp"
#include "numbers/float_bits.hpp"

namespace velmora {
namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};

// Sign of (mantissa * 10^exp10) - (2m + 1) * 2^(q - 1), the value against the
// midpoint above the float m * 2^q.
int compare_with_midpoint(const BigUint& mantissa, int exp10, std::uint32_t m, int q) {
  BigUint lhs = mantissa;
  BigUint rhs(2ull * m + 1);
  int twos = exp10 - (q - 1);  // power of two left on the value's side
  if (exp10 >= 0) {
    lhs.mul_pow5(exp10);
  } else {
    rhs.mul_pow5(-exp10);
  }
  if (twos >= 0) {
    lhs.shift_left(twos);
  } else {
    rhs.shift_left(-twos);
  }
  return compare(lhs, rhs);
}

}  // namespace

float decimal_to_float(const DecimalDigits& value) {
  if (value.count == 0) return 0.0f;
  // 0.d1... * 10^point lies in [10^(point-1), 10^point).
  if (value.point > 39) return std::numeric_limits<float>::infinity();  // >= 1e39
  if (value.point < -45) return 0.0f;  // < 1e-46, below half the least subnormal

  int exp10 = static_cast<int>(value.point) - value.count;  // value = integer digits * 10^exp10
  if (value.count <= 7 && !value.dropped_nonzero && exp10 >= -10 && exp10 <= 10) {
    std::uint32_t n = 0;
    for (int i = 0; i < value.count; ++i) n = n * 10 + value.digits[i];
    double x = static_cast<double>(n);
    return static_cast<float>(exp10 >= 0 ? x * kPow10[exp10] : x / kPow10[-exp10]);
  }

  // Exact integer mantissa; a dropped non-zero tail becomes one more digit 1,
  // which moves the value off any midpoint without crossing one.
  BigUint mantissa;
  double approx = 0.0;
  for (int i = 0; i < value.count; ++i) {
    mantissa.mul_small(10);
    mantissa.add_small(value.digits[i]);
    if (i < 19) approx = approx * 10.0 + value.digits[i];
  }
  if (value.dropped_nonzero) {
    mantissa.mul_small(10);
    mantissa.add_small(1);
    --exp10;
  }
  int approx_digits = value.count < 19 ? value.count : 19;
  approx *= std::pow(10.0, static_cast<double>(value.point - approx_digits));
  float candidate = static_cast<float>(approx);
  std::uint32_t bits = float_bits(candidate);
  if (bits > kLargestFiniteFloatBits) bits = kLargestFiniteFloatBits;  // start from the largest finite float

  // Walk to the float whose rounding interval holds the value. The candidate
  // is within a step or two, so these loops are short.
  for (;;) {
    const auto [m, q] = float_parts(bits);
    int above = compare_with_midpoint(mantissa, exp10, m, q);
    if (above > 0 || (above == 0 && (m & 1u) != 0)) {
      if (bits == kLargestFiniteFloatBits) return std::numeric_limits<float>::infinity();
      ++bits;
      continue;
    }
    if (bits == 0) return 0.0f;
    const auto [m_below, q_below] = float_parts(bits - 1);
    int below = compare_with_midpoint(mantissa, exp10, m_below, q_below);
    if (below < 0 || (below == 0 && (m_below & 1u) == 0)) {
      --bits;
      continue;
    }
    return std::bit_cast<float>(bits);
  }
}

}  // namespace velmora
