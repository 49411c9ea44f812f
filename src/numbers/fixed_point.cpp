// Fixed-point fields. |value| * 10^d is formed as an exact integer from the
// float's mantissa and exponent, so the rounding to d decimals sees the exact
// stored value and never the result of a decimal approximation.
#include "numbers/fixed_point.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace velmora {
namespace {

std::string right_aligned(std::string_view text, int width) {
  std::string field(static_cast<std::size_t>(width), ' ');
  if (text.size() > field.size()) {
    field.assign(field.size(), '*');
  } else {
    field.replace(field.size() - text.size(), text.size(), text);
  }
  return field;
}

// round(|value| * 10^decimals), ties to even, for |value| < 2^44.
std::uint64_t scaled_rounded(std::uint32_t bits, int decimals) {
  std::uint32_t biased = (bits >> 23) & 0xFFu;
  std::uint64_t m = bits & 0x7FFFFFu;
  int e;
  if (biased == 0) {
    e = -149;
  } else {
    m |= 0x800000u;
    e = static_cast<int>(biased) - 150;
  }
  for (int i = 0; i < decimals; ++i) m *= 10;  // below 2^41
  if (e >= 0) return m << e;                   // e <= 20 here
  int shift = -e;
  if (shift >= 63) return 0;  // m < 2^41 is far below half of 2^shift
  std::uint64_t q = m >> shift;
  std::uint64_t rem = m & ((std::uint64_t{1} << shift) - 1);
  std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rem > half || (rem == half && (q & 1u) != 0)) ++q;
  return q;
}

}  // namespace

std::string format_fixed_point(float value, int width, int decimals) {
  if (std::isnan(value)) return right_aligned("NaN", width);
  if (std::isinf(value)) {
    if (value < 0) return right_aligned("-Inf", width);
    return right_aligned(width == 3 ? "Inf" : "+Inf", width);
  }
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  bool negative = (bits & 0x80000000u) != 0;
  // 2^44 has 14 integer digits: no field in use (width <= 15, one decimal
  // at least) can hold it.
  if ((bits & 0x7FFFFFFFu) >= 0x55800000u) return std::string(static_cast<std::size_t>(width), '*');
  std::uint64_t n = scaled_rounded(bits, decimals);
  // The digits of n, last first, padded with zeros to decimals + 1 of them
  // (n < 2^64 has at most 20).
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (count < decimals + 1) digits[count++] = '0';
  // Sign, integer digits, point, decimals; a lone leading zero goes when it
  // is all that keeps the number from fitting.
  char text[32];
  int length = 0;
  if (negative) text[length++] = '-';
  const bool drop_zero = count == decimals + 1 && digits[count - 1] == '0' &&
                         (negative ? 1 : 0) + count + 1 == width + 1;
  for (int i = drop_zero ? count - 2 : count - 1; i >= decimals; --i) text[length++] = digits[i];
  text[length++] = '.';
  for (int i = decimals - 1; i >= 0; --i) text[length++] = digits[i];
  return right_aligned(std::string_view(text, static_cast<std::size_t>(length)), width);
}

std::string format_integer_field(int value, int width) {
  return right_aligned(std::to_string(value), width);
}

std::string format_text_field(std::string_view text, int width) {
  if (static_cast<int>(text.size()) >= width) return std::string(text.substr(0, static_cast<std::size_t>(width)));
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + std::string(text);
}

}  // namespace velmora
