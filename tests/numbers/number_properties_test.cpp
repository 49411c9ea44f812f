// Randomised properties of the number printers over millions of floats:
// free-form text reads back as the very same float and is never longer than
// the library's shortest form; fixed-point fields agree with a reference that
// expands the stored value into its exact decimal digits and rounds the digit
// string half to even, a method independent of the printer's own.
#include <bit>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "numbers/fixed_point.hpp"
#include "console/free_form_writer.hpp"

namespace {

constexpr std::uint32_t kSeed = 20240611u;
constexpr int kRandomPatterns = 1'000'000;

float from_bits(std::uint32_t u) { return std::bit_cast<float>(u); }

std::uint32_t to_bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Significant digits of a decimal text such as "-0.000123", "1200." or
// "1.5E-7": leading and trailing zeros of the mantissa do not count.
int significant_digits(std::string_view text) {
  std::size_t end = text.find_first_of("Ee");
  std::string digits;
  for (char c : text.substr(0, end)) {
    if (c >= '0' && c <= '9') digits += c;
  }
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 1;  // zero
  std::size_t last = digits.find_last_not_of('0');
  return static_cast<int>(last - first + 1);
}

// Decimal exponent of the first significant digit, from the library's
// shortest scientific form.
int library_exponent(float value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string text(buf, res.ptr);
  return std::stoi(text.substr(text.find('e') + 1));
}

std::string library_shortest(float value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

// Checks one finite value; returns an empty string or a description of what
// went wrong.
std::string free_form_problem(float value) {
  std::string text = velmora::format_free_real(value);
  float back = 0.0f;
  auto res = std::from_chars(text.data(), text.data() + text.size(), back);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return "unreadable text " + text;
  if (to_bits(back) != to_bits(value)) return "text " + text + " reads back as another float";
  std::string library = library_shortest(value);
  if (significant_digits(text) > significant_digits(library)) {
    return "text " + text + " has more digits than " + library;
  }
  int e = library_exponent(value);
  bool exponent_form = text.find('E') != std::string::npos;
  if (exponent_form != (e < -6 || e > 6))
    return "text " + text + " has the wrong layout for exponent " + std::to_string(e);
  return "";
}

TEST(FreeFormRealProperty, RandomBitPatternsReadBackExactlyWithShortestDigits) {
  std::mt19937 rng(kSeed);
  int checked = 0;
  int failures = 0;
  for (int i = 0; i < kRandomPatterns; ++i) {
    float value = from_bits(static_cast<std::uint32_t>(rng()));
    if (!std::isfinite(value)) continue;
    ++checked;
    std::string problem = free_form_problem(value);
    if (!problem.empty() && ++failures <= 10) {
      ADD_FAILURE() << "bits 0x" << std::hex << to_bits(value) << std::dec << ": " << problem;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(checked, kRandomPatterns * 9 / 10);
}

TEST(FreeFormRealProperty, SignedZerosAndValuesAroundTheLayoutThresholdsReadBack) {
  std::vector<float> values = {0.0f, -0.0f, 1.0e6f, 1.0e7f, 1.0e-6f, 1.0e-7f};
  // Every float within 5000 steps of the points where the layout changes
  // (10^7 and 10^-6) and of their neighbours 9999999 and 10^-7, both signs.
  for (float centre : {1.0e7f, 1.0e-6f, 9.999999e6f, 1.0e-7f}) {
    std::uint32_t c = to_bits(centre);
    for (std::uint32_t b = c - 5000; b <= c + 5000; ++b) {
      values.push_back(from_bits(b));
      values.push_back(-from_bits(b));
    }
  }
  int failures = 0;
  for (float value : values) {
    std::string problem = free_form_problem(value);
    if (!problem.empty() && ++failures <= 10) {
      ADD_FAILURE() << "bits 0x" << std::hex << to_bits(value) << std::dec << ": " << problem;
    }
  }
  EXPECT_EQ(failures, 0);
}

// The exact decimal value of |value| as a digit string with fraction_digits
// of its digits after the point. A float is m * 2^q; for q < 0 that is
// m * 5^-q / 10^-q, so the digits are those of the integer m * 5^-q.
struct ExactDecimal {
  std::string digits;  // most significant first, at least fraction_digits + 1 of them
  int fraction_digits = 0;
};

// Multiplies a little-endian array of decimal digits by a small factor.
void multiply_digits(std::vector<std::uint8_t>& digits, std::uint64_t factor) {
  std::uint64_t carry = 0;
  for (std::uint8_t& d : digits) {
    std::uint64_t p = d * factor + carry;
    d = static_cast<std::uint8_t>(p % 10);
    carry = p / 10;
  }
  while (carry != 0) {
    digits.push_back(static_cast<std::uint8_t>(carry % 10));
    carry /= 10;
  }
}

ExactDecimal exact_decimal(float value) {
  std::uint32_t bits = to_bits(value) & 0x7FFFFFFFu;
  std::uint32_t biased = bits >> 23;
  std::uint32_t m = bits & 0x7FFFFFu;
  int q = -149;
  if (biased != 0) {
    m |= 0x800000u;
    q = static_cast<int>(biased) - 150;
  }
  std::vector<std::uint8_t> digits;
  for (std::uint32_t t = m; t != 0; t /= 10) digits.push_back(static_cast<std::uint8_t>(t % 10));
  if (digits.empty()) digits.push_back(0);
  ExactDecimal out;
  if (q >= 0) {
    for (int left = q; left > 0; left -= 30)
      multiply_digits(digits, std::uint64_t{1} << (left < 30 ? left : 30));
  } else {
    for (int left = -q; left > 0; left -= 13) {
      std::uint64_t p = 1;
      for (int i = 0; i < (left < 13 ? left : 13); ++i) p *= 5;
      multiply_digits(digits, p);
    }
    out.fraction_digits = -q;
  }
  while (static_cast<int>(digits.size()) <= out.fraction_digits) digits.push_back(0);
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) out.digits += static_cast<char>('0' + *it);
  return out;
}

// Adds one to a decimal digit string, growing it by a digit when all are 9.
void increment(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

std::string aligned(std::string text, int width) {
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// The field as the rules describe it, from the exact decimal digits x of a
// finite value.
std::string reference_fixed_point(const ExactDecimal& x, bool negative, int width, int decimals) {
  std::size_t integer_digits = x.digits.size() - static_cast<std::size_t>(x.fraction_digits);
  // Kept digits: the integer part and the first `decimals` decimals.
  std::string fraction = x.digits.substr(integer_digits);
  fraction.resize(static_cast<std::size_t>(decimals) > fraction.size() ? static_cast<std::size_t>(decimals)
                                                                       : fraction.size(),
                  '0');
  std::string kept =
      x.digits.substr(0, integer_digits) + fraction.substr(0, static_cast<std::size_t>(decimals));
  std::string dropped = fraction.substr(static_cast<std::size_t>(decimals));
  bool round_up = false;
  if (!dropped.empty()) {
    bool rest_zero = dropped.find_first_not_of('0', 1) == std::string::npos;
    if (dropped[0] > '5') round_up = true;
    if (dropped[0] == '5') round_up = !rest_zero || (kept.back() - '0') % 2 == 1;
  }
  if (round_up) increment(kept);
  std::string int_part = kept.substr(0, kept.size() - static_cast<std::size_t>(decimals));
  std::string decimals_part = kept.substr(kept.size() - static_cast<std::size_t>(decimals));
  std::size_t first = int_part.find_first_not_of('0');
  int_part = first == std::string::npos ? "0" : int_part.substr(first);
  std::string text = (negative ? "-" : "") + int_part + "." + decimals_part;
  std::size_t sign = negative ? 1 : 0;
  if (static_cast<int>(text.size()) == width + 1 && int_part == "0") text.erase(sign, 1);
  return aligned(text, width);
}

std::string reference_fixed_point(float value, int width, int decimals) {
  if (std::isnan(value)) return aligned("NaN", width);
  if (std::isinf(value)) return aligned(value < 0 ? "-Inf" : (width == 3 ? "Inf" : "+Inf"), width);
  return reference_fixed_point(exact_decimal(value), std::signbit(value), width, decimals);
}

struct FieldKind {
  int width;
  int decimals;
};
constexpr FieldKind kKindsInUse[] = {{5, 1}, {7, 3}, {8, 3}, {8, 4}, {12, 3}};

TEST(FixedPointReference, AgreesWithHandWorkedExamples) {
  struct Case {
    float value;
    int width;
    int decimals;
    const char* printed;
  };
  const Case cases[] = {
      {0.25f, 5, 1, "  0.2"},
      {0.75f, 5, 1, "  0.8"},
      {0.35f, 5, 1, "  0.3"},
      {0.0625f, 7, 3, "  0.062"},
      {-0.04f, 5, 1, " -0.0"},
      {-4.37e-8f, 8, 4, " -0.0000"},
      {999.96f, 5, 1, "*****"},
      {1.2345679e7f, 12, 3, "12345679.000"},
      {0.5f, 4, 3, ".500"},
      {-0.5f, 5, 3, "-.500"},
      {-0.5f, 4, 3, "****"},
      {3.4028235e38f, 12, 3, "************"},
      {std::numeric_limits<float>::denorm_min(), 8, 4, "  0.0000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reference_fixed_point(c.value, c.width, c.decimals), c.printed) << static_cast<double>(c.value);
  }
}

// Compares the printer with the reference for every kind in use (and, for
// the dropped-zero rule, width 4 and 5 with 3 decimals) on each value.
int count_disagreements(const std::vector<float>& values) {
  static constexpr FieldKind kExtraKinds[] = {{4, 3}, {5, 3}};
  int failures = 0;
  auto check = [&](float value, const ExactDecimal& x, FieldKind kind) {
    std::string got = velmora::format_fixed_point(value, kind.width, kind.decimals);
    std::string want = std::isfinite(value)
                           ? reference_fixed_point(x, std::signbit(value), kind.width, kind.decimals)
                           : reference_fixed_point(value, kind.width, kind.decimals);
    if (got != want && ++failures <= 10) {
      ADD_FAILURE() << "bits 0x" << std::hex << to_bits(value) << std::dec << " ("
                    << static_cast<double>(value) << ") width " << kind.width << " decimals " << kind.decimals
                    << ": printed \"" << got << "\", expected \"" << want << "\"";
    }
  };
  for (float value : values) {
    ExactDecimal x = std::isfinite(value) ? exact_decimal(value) : ExactDecimal{};
    for (FieldKind kind : kKindsInUse) check(value, x, kind);
    for (FieldKind kind : kExtraKinds) check(value, x, kind);
  }
  return failures;
}

TEST(FixedPointProperty, RandomBitPatternsMatchTheExactDecimalReference) {
  std::mt19937 rng(kSeed + 1);
  std::vector<float> values;
  values.reserve(kRandomPatterns);
  for (int i = 0; i < kRandomPatterns; ++i) values.push_back(from_bits(static_cast<std::uint32_t>(rng())));
  EXPECT_EQ(count_disagreements(values), 0);
}

// Uniform bit patterns are mostly far too large or too small for the fields;
// these values have magnitudes between 2^-20 and 2^27, where every digit of
// the fields matters, and include exact ties at 1, 3 and 4 decimals
// (multiples of 1/4, 1/16 and 1/32).
TEST(FixedPointProperty, ValuesOfFieldSizedMagnitudeMatchTheExactDecimalReference) {
  std::mt19937 rng(kSeed + 2);
  std::vector<float> values;
  std::uniform_int_distribution<std::uint32_t> biased_exponent(127 - 20, 127 + 27);
  std::uniform_int_distribution<std::uint32_t> mantissa(0, 0x7FFFFFu);
  std::uniform_int_distribution<int> coin(0, 1);
  for (int i = 0; i < 300'000; ++i) {
    std::uint32_t bits = (biased_exponent(rng) << 23) | mantissa(rng) | (coin(rng) != 0 ? 0x80000000u : 0u);
    values.push_back(from_bits(bits));
  }
  std::uniform_int_distribution<std::int32_t> numerator(-(1 << 24), 1 << 24);
  std::uniform_int_distribution<int> power(0, 6);
  for (int i = 0; i < 200'000; ++i) {
    values.push_back(std::ldexp(static_cast<float>(numerator(rng)), -power(rng)));
  }
  EXPECT_EQ(count_disagreements(values), 0);
}

// Every float within 3000 steps of the largest magnitude that each kind can
// show, on both sides of zero, and of the points where a value rounds up to
// the next power of ten.
TEST(FixedPointProperty, FloatsAroundTheOverflowPointsMatchTheExactDecimalReference) {
  std::vector<float> values;
  for (float centre : {1.0f, 10.0f, 100.0f, 1000.0f, 10000.0f, 1.0e7f, 1.0e8f, 0.1f, 0.001f, 0.0001f}) {
    std::uint32_t c = to_bits(centre);
    for (std::uint32_t b = c - 3000; b <= c + 3000; ++b) {
      values.push_back(from_bits(b));
      values.push_back(-from_bits(b));
    }
  }
  EXPECT_EQ(count_disagreements(values), 0);
}

}  // namespace
