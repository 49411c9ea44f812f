// velmora's single-precision sine, cosine and exponential: correctly rounded
// from the float argument (checked here against the double-precision library
// function rounded once to float), signed zeros and special values as IEEE
// arithmetic has them, and sincos_f identical to the separate functions.
#include "app/single_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace velmora {
namespace {

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float from_bits(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

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

}  // namespace
}  // namespace velmora
