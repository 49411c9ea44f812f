// Decimal-to-float conversion: nearest float with ties to even, exact for any
// number of digits, at the midpoints between floats, among the subnormals,
// at the edge of overflow, and against the library's correctly rounded
// std::from_chars on random decimal strings.
#include "numbers/decimal_to_float.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

using velmora::DecimalDigits;

std::uint32_t to_bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

constexpr std::uint32_t kInfBits = 0x7F800000u;
constexpr std::uint32_t kFltMaxBits = 0x7F7FFFFFu;

// A non-negative decimal text ("123.45", "0.00123", "12e-7", "5.E3") as
// significant digits (leading zeros skipped) and the position of the point:
// the value is 0.d1 d2 d3 ... times 10^point.
DecimalDigits digits_of(std::string_view text) {
  std::size_t e_pos = text.find_first_of("eE");
  std::string_view mantissa = text.substr(0, e_pos);
  std::int64_t exponent =
      e_pos == std::string_view::npos ? 0 : std::stoll(std::string(text.substr(e_pos + 1)));
  std::size_t dot = mantissa.find('.');
  std::int64_t integer_digits =
      static_cast<std::int64_t>(dot == std::string_view::npos ? mantissa.size() : dot);
  DecimalDigits out;
  std::int64_t leading_zeros = 0;
  for (char c : mantissa) {
    if (c == '.') continue;
    if (out.count == 0 && c == '0') {
      ++leading_zeros;
      continue;
    }
    out.push(c - '0');
  }
  out.point = integer_digits - leading_zeros + exponent;
  return out;
}

std::uint32_t converted_bits(std::string_view text) {
  return to_bits(velmora::decimal_to_float(digits_of(text)));
}

struct TextCase {
  const char* text;
  std::uint32_t bits;
};

void expect_all(const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) {
    EXPECT_EQ(converted_bits(c.text), c.bits) << c.text << " expected 0x" << std::hex << c.bits;
  }
}

TEST(DecimalToFloat, ShortDecimalsGiveTheNearestFloat) {
  expect_all({
      {"0", 0u},
      {"0.000", 0u},
      {"1", 0x3F800000u},
      {"1.0", 0x3F800000u},
      {"0.1", 0x3DCCCCCDu},
      {"0.5", 0x3F000000u},
      {"90", 0x42B40000u},
      {"3.14159274", 0x40490FDBu},
      {"0.27", 0x3E8A3D71u},
      {"16777217", 0x4B800000u},  // tie between 2^24 and 2^24 + 2: even mantissa
      {"16777219", 0x4B800002u},  // tie between 2^24 + 2 and 2^24 + 4: even mantissa
      {"1e10", 0x501502F9u},
      {"00012.5000", 0x41480000u},
  });
}

// 2^-149, the smallest subnormal; 2^-150, half of it; and the midpoint
// between the largest subnormal and the smallest normal float, in full.
constexpr const char* kLeastSubnormal =
    "1.4012984643248170709237295832899161312802619418765157717570682838897910826"
    "8586060148663818836212158203125e-45";
constexpr const char* kHalfLeastSubnormal =
    "7.0064923216240853546186479164495806564013097093825788587853414194489554134"
    "2930300743319094181060791015625e-46";
constexpr const char* kLastSubnormalMidpoint =
    "1.1754942807573642917278829910357665133228589927589904276829631184250030649"
    "651730385585324256680905818939208984375e-38";

// Midpoints between neighbouring floats, written out in full.
TEST(DecimalToFloat, ExactMidpointsTieToTheEvenMantissa) {
  expect_all({
      {"1.000000059604644775390625", 0x3F800000u},  // between 1 and 1 + 2^-23
      {"1.000000178813934326171875", 0x3F800002u},  // between 1 + 2^-23 and 1 + 2^-22
      {kHalfLeastSubnormal, 0u},
      {"340282356779733661637539395458142568448", kInfBits},  // halfway from FLT_MAX to 2^128
      {kLastSubnormalMidpoint, 0x00800000u},
  });
}

TEST(DecimalToFloat, OneDigitAwayFromAMidpointDecidesTheDirection) {
  // A 1 at the 100th significant digit, or the midpoint less one unit there.
  std::string above = "1.000000059604644775390625" + std::string(99 - 25, '0') + "1";
  std::string below = "1.000000178813934326171874" + std::string(99 - 25, '9') + "9";
  expect_all({
      {above.c_str(), 0x3F800001u},
      {below.c_str(), 0x3F800001u},
      {"1.00000005960464477539062499999999999999999999", 0x3F800000u},
      {"340282356779733661637539395458142568447.999999", kFltMaxBits},
      {"340282356779733661637539395458142568448.000001", kInfBits},
  });
}

TEST(DecimalToFloat, SubnormalsAndUnderflow) {
  expect_all({
      {kLeastSubnormal, 0x00000001u},
      {"1.4e-45", 0x00000001u},
      {"1e-45", 0x00000001u},
      {"7.1e-46", 0x00000001u},
      {"7e-46", 0u},
      {"7.006e-46", 0u},
      {"7.0065e-46", 0x00000001u},
      {"2.1e-45", 0x00000001u},  // below 1.5 * 2^-149
      {"2.2e-45", 0x00000002u},
      {"9.9e-47", 0u},
      {"1e-50", 0u},
      {"1e-400", 0u},
      {"1e-40", 0x000116C2u},
      {"1.17549435e-38", 0x00800000u},  // the smallest normal float
      {"1.1754942e-38", 0x007FFFFFu},   // the largest subnormal
  });
}

TEST(DecimalToFloat, LargestFloatAndTheOverflowThreshold) {
  expect_all({
      {"340282346638528859811704183484516925440", kFltMaxBits},
      {"3.4028235e38", kFltMaxBits},
      {"3.4028235677973366e38", kFltMaxBits},
      {"3.4028235677973367e38", kInfBits},
      {"3.4028236e38", kInfBits},
      {"9.99e38", kInfBits},
      {"1e39", kInfBits},
      {"1e400", kInfBits},
      {"1e38", 0x7E967699u},
  });
}

TEST(DecimalToFloat, ThousandDigitInputsAreExact) {
  std::string ones = "1." + std::string(997, '0') + "1";  // 1 + 10^-998
  std::string nines = "0." + std::string(1000, '9');      // 1 - 10^-1000
  std::string thirds = "3." + std::string(999, '3');      // 3.333...
  std::string huge = "1" + std::string(999, '0');         // 10^999
  std::string tiny = "0." + std::string(999, '0') + "1";  // 10^-1000
  std::string mid = "1.000000059604644775390625" + std::string(1000 - 25, '0');
  std::string mid_up = "1.000000059604644775390625" + std::string(999 - 25, '0') + "1";
  expect_all({
      {ones.c_str(), 0x3F800000u},
      {nines.c_str(), 0x3F800000u},
      {thirds.c_str(), 0x40555555u},
      {huge.c_str(), kInfBits},
      {tiny.c_str(), 0u},
      {mid.c_str(), 0x3F800000u},
      {mid_up.c_str(), 0x3F800001u},
  });
}

// Exact decimal digits of n * 2^q (q may be negative), as "digits e exponent".
std::string exact_text(std::uint64_t n, int q) {
  std::vector<std::uint8_t> digits;  // little-endian
  for (std::uint64_t t = n; t != 0; t /= 10) digits.push_back(static_cast<std::uint8_t>(t % 10));
  int factor = q >= 0 ? 2 : 5;
  for (int i = 0; i < (q >= 0 ? q : -q); ++i) {
    unsigned carry = 0;
    for (std::uint8_t& d : digits) {
      unsigned p = d * static_cast<unsigned>(factor) + carry;
      d = static_cast<std::uint8_t>(p % 10);
      carry = p / 10;
    }
    if (carry != 0) digits.push_back(static_cast<std::uint8_t>(carry));
  }
  std::string text;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) text += static_cast<char>('0' + *it);
  return text + "e" + std::to_string(q >= 0 ? 0 : q);
}

// The float with bits b as m * 2^q. Bits 0x7F800000 give 2^128, the value
// beyond FLT_MAX at which rounding goes to infinity.
void decompose(std::uint32_t b, std::uint64_t& m, int& q) {
  std::uint32_t biased = b >> 23;
  m = b & 0x7FFFFFu;
  q = -149;
  if (biased != 0) {
    m |= 0x800000u;
    q = static_cast<int>(biased) - 150;
  }
}

// Exact midpoint between the floats with bits b and b + 1, as digits and a
// power of ten.
struct Midpoint {
  std::string digits;
  int power10;
};

Midpoint midpoint_after(std::uint32_t b) {
  std::uint64_t m0, m1;
  int q0, q1;
  decompose(b, m0, q0);
  decompose(b + 1, m1, q1);
  // (m0 * 2^q0 + m1 * 2^q1) / 2 with q1 >= q0.
  std::uint64_t sum = m0 + (m1 << (q1 - q0));
  std::string text = exact_text(sum, q0 - 1);
  std::size_t e = text.find('e');
  return {text.substr(0, e), std::stoi(text.substr(e + 1))};
}

// The midpoint with its digits extended to `length` significant digits and
// then moved by one unit of the last digit (direction +1 or -1, or 0).
std::string near_midpoint(const Midpoint& mid, int length, int direction) {
  std::string digits = mid.digits;
  int extra = length - static_cast<int>(digits.size());
  digits.append(static_cast<std::size_t>(extra), '0');
  if (direction > 0) {
    digits.back() = '1';
  } else if (direction < 0) {
    std::size_t i = digits.size() - 1;
    while (digits[i] == '0') digits[i--] = '9';
    --digits[i];
  }
  return digits + "e" + std::to_string(mid.power10 - extra);
}

TEST(DecimalToFloat, MidpointsAcrossTheRangeRoundByTheirFollowingDigits) {
  const std::uint32_t lower_bits[] = {
      0x00000000u,  // zero and the smallest subnormal
      0x00000001u, 0x00000002u, 0x00123457u,
      0x007FFFFFu,                            // the largest subnormal and the smallest normal
      0x00800000u, 0x0DA24260u, 0x3F7FFFFFu,  // below 1: the gap above is twice the gap below
      0x3F800000u, 0x3F800001u, 0x4B7FFFFFu, 0x4B800000u, 0x5F000001u, 0x7F7FFFFEu,
      0x7F7FFFFFu,  // FLT_MAX and the overflow threshold
  };
  for (std::uint32_t b : lower_bits) {
    Midpoint mid = midpoint_after(b);
    std::uint32_t even = (b & 1u) == 0 ? b : b + 1;
    std::uint32_t upper = b + 1;  // 0x7F800000 is infinity
    int own = static_cast<int>(mid.digits.size());
    for (int length : {own, own + 1, 100, 130, 1000}) {
      if (length < own) continue;
      SCOPED_TRACE(testing::Message()
                   << "bits 0x" << std::hex << b << std::dec << ", " << length << " digits");
      EXPECT_EQ(converted_bits(near_midpoint(mid, length, 0)), even);
      if (length > own) {
        EXPECT_EQ(converted_bits(near_midpoint(mid, length, +1)), upper);
      }
      EXPECT_EQ(converted_bits(near_midpoint(mid, length, -1)), b);
    }
  }
}

// The library's reading of the same text; out of range means zero or
// infinity, decided by whether the value is below 1.
std::uint32_t library_bits(const std::string& text, const DecimalDigits& d) {
  float value = 0.0f;
  auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec == std::errc::result_out_of_range) return d.point > 0 ? kInfBits : 0u;
  EXPECT_EQ(res.ec, std::errc()) << text;
  EXPECT_EQ(res.ptr, text.data() + text.size()) << text;
  return to_bits(value);
}

// Reads text with our conversion and the library's; a disagreement counts
// as a failure, and the first ten are reported.
void check_against_library(const std::string& text, int& failures) {
  DecimalDigits d = digits_of(text);
  std::uint32_t want = library_bits(text, d);
  std::uint32_t got = to_bits(velmora::decimal_to_float(d));
  if (got != want && ++failures <= 10) {
    ADD_FAILURE() << text << ": got 0x" << std::hex << got << ", library 0x" << want;
  }
}

TEST(DecimalToFloat, RandomDecimalStringsAgreeWithTheLibraryReader) {
  std::mt19937 rng(1789u);
  std::uniform_int_distribution<int> length(1, 30);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> exponent(-50, 40);
  int failures = 0;
  for (int i = 0; i < 300'000; ++i) {
    int n = length(rng);
    std::string mantissa;
    for (int k = 0; k < n; ++k) mantissa += static_cast<char>('0' + digit(rng));
    std::uniform_int_distribution<int> point_at(0, n);
    std::size_t point = static_cast<std::size_t>(point_at(rng));
    mantissa = mantissa.substr(0, point) + "." + mantissa.substr(point);
    if (mantissa == ".") mantissa = "0";
    std::string text = mantissa + "e" + std::to_string(exponent(rng));
    check_against_library(text, failures);
  }
  EXPECT_EQ(failures, 0);
}

// Decimal strings that start with a float's exact midpoint and are then cut
// or extended: the hardest inputs for any reader, across the whole range.
TEST(DecimalToFloat, RandomNearMidpointStringsAgreeWithTheLibraryReader) {
  std::mt19937 rng(1791u);
  std::uniform_int_distribution<std::uint32_t> bits(0, kFltMaxBits);
  std::uniform_int_distribution<int> direction(-1, 1);
  int failures = 0;
  for (int i = 0; i < 20'000; ++i) {
    std::uint32_t b = bits(rng);
    Midpoint mid = midpoint_after(b);
    int own = static_cast<int>(mid.digits.size());
    std::uniform_int_distribution<int> length(1, own + 20);
    int n = length(rng);
    std::string text;
    if (n <= own) {
      // Cut to n digits (always at or below the midpoint).
      text = mid.digits.substr(0, static_cast<std::size_t>(n)) + "e" + std::to_string(mid.power10 + own - n);
    } else {
      text = near_midpoint(mid, n, direction(rng));
    }
    check_against_library(text, failures);
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
