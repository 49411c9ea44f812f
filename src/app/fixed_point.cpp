// Fixed-point fields. |value| * 10^d is formed as an exact integer from the
// float's mantissa and exponent, so the rounding to d decimals sees the exact
// stored value and never the result of a decimal approximation.
#include "app/fixed_point.hpp"

#include <bit>
#include <cmath>
#include <cstdint>

namespace velmora {
namespace {

std::string right_aligned(std::string text, int width) {
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
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
  std::uint64_t unit = 1;
  for (int i = 0; i < decimals; ++i) unit *= 10;
  std::string frac = std::to_string(n % unit);
  std::string text = negative ? "-" : "";
  text += std::to_string(n / unit);
  text += '.';
  text += std::string(static_cast<std::size_t>(decimals) - frac.size(), '0') + frac;
  if (static_cast<int>(text.size()) == width + 1) {
    std::size_t lead = negative ? 1 : 0;
    if (text[lead] == '0' && text[lead + 1] == '.') text.erase(lead, 1);
  }
  return right_aligned(std::move(text), width);
}

std::string format_integer_field(int value, int width) {
  return right_aligned(std::to_string(value), width);
}

std::string format_text_field(std::string_view text, int width) {
  if (static_cast<int>(text.size()) >= width) return std::string(text.substr(0, static_cast<std::size_t>(width)));
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + std::string(text);
}

}  // namespace velmora
