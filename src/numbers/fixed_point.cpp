// Fixed-point fields. |value| * 10^d is formed as an exact integer from the
// float's mantissa and exponent, so the rounding to d decimals sees the exact
// stored value and never the result of a decimal approximation. The text is
// built right to left in a small buffer, without allocating.
#include "numbers/fixed_point.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numbers/float_bits.hpp"

namespace velmora {
namespace {

constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000};

void put_right_aligned(char* field, std::string_view text, int width) {
  const auto size = static_cast<int>(text.size());
  if (size > width) {
    std::memset(field, '*', static_cast<std::size_t>(width));
    return;
  }
  std::memset(field, ' ', static_cast<std::size_t>(width - size));
  std::memcpy(field + (width - size), text.data(), text.size());
}

// round(|value| * 10^decimals), ties to even, for |value| < 2^44.
std::uint64_t scaled_rounded(std::uint32_t bits, int decimals) {
  const auto [mantissa, e] = float_parts(bits);
  const std::uint64_t m = std::uint64_t{mantissa} * kPowersOfTen[decimals];  // below 2^41
  if (e >= 0) return m << e;                                                 // e <= 20 here
  int shift = -e;
  if (shift >= 63) return 0;  // m < 2^41 is far below half of 2^shift
  std::uint64_t q = m >> shift;
  std::uint64_t rem = m & ((std::uint64_t{1} << shift) - 1);
  std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rem > half || (rem == half && (q & 1u) != 0)) ++q;
  return q;
}

// The digits of n / 10^decimals with its point, at least one integer digit,
// written to end before p; returns the first character. Narrow integers
// divide faster, so the common values take the 32-bit loop.
template <typename Unsigned>
char* digits_with_point(char* p, Unsigned n, int decimals) {
  int written = 0;
  do {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
    if (++written == decimals) *--p = '.';
  } while (n != 0 || written <= decimals);
  return p;
}

}  // namespace

void put_fixed_point(char* field, float value, int width, int decimals) {
  if (std::isnan(value)) return put_right_aligned(field, "NaN", width);
  if (std::isinf(value)) {
    if (value < 0) return put_right_aligned(field, "-Inf", width);
    return put_right_aligned(field, width == 3 ? "Inf" : "+Inf", width);
  }
  const std::uint32_t bits = float_bits(value);
  // 2^44 has 14 integer digits: no field in use (width <= 15, one decimal
  // at least) can hold it.
  if ((bits & kFloatMagnitudeBits) >= 0x55800000u) {
    std::memset(field, '*', static_cast<std::size_t>(width));
    return;
  }
  const std::uint64_t n = scaled_rounded(bits, decimals);
  char text[32];
  char* const end = text + sizeof text;
  char* first = n <= 0xFFFFFFFFu ? digits_with_point(end, static_cast<std::uint32_t>(n), decimals)
                                 : digits_with_point(end, n, decimals);
  const bool negative = (bits & 0x80000000u) != 0;
  // A lone leading zero goes when it is all that keeps the number from
  // fitting.
  if (first[0] == '0' && first[1] == '.' && (end - first) + (negative ? 1 : 0) == width + 1) ++first;
  if (negative) *--first = '-';
  put_right_aligned(field, std::string_view(first, static_cast<std::size_t>(end - first)), width);
}

void put_integer_field(char* field, int value, int width) {
  char text[16];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  put_right_aligned(field, std::string_view(text, static_cast<std::size_t>(end - text)), width);
}

void put_text_field(char* field, std::string_view text, int width) {
  put_right_aligned(field, text.substr(0, static_cast<std::size_t>(width)), width);
}

}  // namespace velmora
