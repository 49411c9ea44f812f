// velmora's single-precision sine, cosine and exponential: correctly rounded
// from the float argument (checked here against the double-precision library
// function rounded once to float), signed zeros and special values as IEEE
// arithmetic has them, and sincos_f and the batch functions identical to the
// separate functions.
#include "numbers/single_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace velmora {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }
float from_bits(std::uint32_t u) { return std::bit_cast<float>(u); }

// NaN payloads are not compared.
std::uint32_t canonical_bits(float f) { return std::isnan(f) ? 0x7FC00000u : bits(f); }

TEST(SingleMath, ZerosKeepTheirSignInSine) {
  EXPECT_EQ(bits(sin_f(-0.0f)), 0x80000000u);
  EXPECT_EQ(bits(sin_f(0.0f)), 0x00000000u);
  EXPECT_EQ(cos_f(-0.0f), 1.0f);
  EXPECT_EQ(exp_f(-0.0f), 1.0f);
}

TEST(SingleMath, SpecialValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(std::isnan(sin_f(inf)));
  EXPECT_TRUE(std::isnan(cos_f(-inf)));
  EXPECT_TRUE(std::isnan(sin_f(nan)));
  EXPECT_TRUE(std::isnan(exp_f(nan)));
  EXPECT_EQ(exp_f(inf), inf);
  EXPECT_EQ(exp_f(-inf), 0.0f);
  EXPECT_TRUE(std::isfinite(exp_f(88.72283f)));
  EXPECT_EQ(exp_f(88.7229f), inf);
  EXPECT_EQ(bits(exp_f(-103.28f)), 0x00000001u);  // the least subnormal
  EXPECT_EQ(exp_f(-104.0f), 0.0f);
}

// Values the program's printed results depend on.
TEST(SingleMath, CosineOfSinglePrecisionHalfPiIsTinyAndNegative) {
  const float half_pi = from_bits(0x3FC90FDBu);
  EXPECT_EQ(cos_f(half_pi), static_cast<float>(std::cos(static_cast<double>(half_pi))));
  EXPECT_LT(cos_f(half_pi), 0.0f);
  EXPECT_NEAR(cos_f(half_pi), -4.371139e-8f, 1e-14f);
  EXPECT_EQ(sin_f(half_pi), 1.0f);
}

// Arguments spread over every binade, and arguments near multiples of pi/2
// where the reduction must keep its precision.
TEST(SingleMath, EqualsDoubleLibraryRoundedOnce) {
  std::mt19937 rng(2026);
  int checked = 0;
  for (int i = 0; i < 1000000; ++i) {
    float x = from_bits(static_cast<std::uint32_t>(rng()));
    if (i % 4 == 0) x = static_cast<float>(std::nearbyint(static_cast<double>(rng() % 200000)) * 1.5707963267948966);
    if (!std::isfinite(x)) continue;
    const double xd = x;
    ASSERT_EQ(bits(sin_f(x)), bits(static_cast<float>(std::sin(xd)))) << "sin " << x;
    ASSERT_EQ(bits(cos_f(x)), bits(static_cast<float>(std::cos(xd)))) << "cos " << x;
    const float e = static_cast<float>(std::exp(xd));
    ASSERT_EQ(bits(exp_f(x)), bits(e)) << "exp " << x;
    ++checked;
  }
  EXPECT_GT(checked, 900000);
}

TEST(SingleMath, SincosGivesTheSeparateResults) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const float x = from_bits(static_cast<std::uint32_t>(rng()));
    float s, c;
    sincos_f(x, s, c);
    const float s1 = sin_f(x), c1 = cos_f(x);
    if (std::isnan(s1)) {
      ASSERT_TRUE(std::isnan(s) && std::isnan(c));
      continue;
    }
    ASSERT_EQ(bits(s), bits(s1));
    ASSERT_EQ(bits(c), bits(c1));
  }
}

// The batch functions run a branch-free kernel over every element and then
// send the arguments it does not cover to the general path; each element
// must come out as the single-argument functions give it, wherever it sits
// in the batch (the vectorized body and the scalar tail).
TEST(SingleMath, BatchesGiveTheSingleResults) {
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<float> x = {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
                          0.78539812f, 0.78539819f, 1.5707964f, -1.5707964f, 3.1415927f,
                          std::nextafter(0x1p20f, 0.0f), 0x1p20f, -0x1p20f, 1e30f, -1e30f,
                          88.99999f, 89.0f, 89.00001f, 88.72284f, 88.72285f, -103.99999f, -104.0f, -104.00001f,
                          -87.33655f, -87.33656f, 1e-8f};
  std::mt19937 rng(11);
  for (int i = 0; i < 100000; ++i) x.push_back(from_bits(static_cast<std::uint32_t>(rng())));
  for (int i = 0; i < 100000; ++i) x.push_back(static_cast<float>(static_cast<int>(rng() % 2000001) - 1000000) / 7.0f);
  for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{3}, x.size()}) {
    const std::span<const float> batch(x.data(), length);
    std::vector<float> s(length), c(length), e(length);
    sincos_f_many(batch, s, c);
    exp_f_many(batch, e);
    for (std::size_t i = 0; i < length; ++i) {
      ASSERT_EQ(canonical_bits(s[i]), canonical_bits(sin_f(x[i]))) << "sin " << x[i];
      ASSERT_EQ(canonical_bits(c[i]), canonical_bits(cos_f(x[i]))) << "cos " << x[i];
      ASSERT_EQ(canonical_bits(e[i]), canonical_bits(exp_f(x[i]))) << "exp " << x[i];
    }
  }
}

}  // namespace
}  // namespace velmora
