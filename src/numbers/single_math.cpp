// Sine and cosine reduce the argument modulo pi/2: below 2^20 by subtracting
// k pi/2 in three pieces, above by multiplying the float's integer mantissa by
// a 160-bit window of the binary expansion of 2/pi, which leaves the quadrant
// and more than 120 correct bits of the fraction for any float. The
// exponential splits off a power of two. The
// remaining series are Taylor polynomials evaluated in double; only IEEE
// double arithmetic is used, which every supported build performs alike.
#include "numbers/single_math.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "numbers/float_bits.hpp"
#include "numbers/vector_path.hpp"

namespace velmora {
namespace {

// 2/pi in binary, 32 bits a word, from the first bit after the point.
constexpr std::uint32_t kTwoOverPi[] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484};
constexpr int kWindowWords = 5;

constexpr double kHalfPi = 1.5707963267948966;  // pi/2 rounded to double
// Adding and subtracting 1.5 * 2^52 rounds a double below 2^51 in magnitude
// to an integer (ties to even); the sum's low mantissa bits are that integer
// modulo 2^51.
constexpr double kRoundingShift = 0x1.8p52;

// sin r and cos r for |r| <= pi/4 by their Taylor series, truncated where the
// next term is below 1e-19 of the result.
double sin_series(double r) {
  const double r2 = r * r;
  double p = 1.0 / 355687428096000.0;  // 1/17!
  p = p * r2 - 1.0 / 1307674368000.0;  // 1/15!
  p = p * r2 + 1.0 / 6227020800.0;     // 1/13!
  p = p * r2 - 1.0 / 39916800.0;       // 1/11!
  p = p * r2 + 1.0 / 362880.0;         // 1/9!
  p = p * r2 - 1.0 / 5040.0;           // 1/7!
  p = p * r2 + 1.0 / 120.0;            // 1/5!
  p = p * r2 - 1.0 / 6.0;              // 1/3!
  return r + r * r2 * p;
}

double cos_series(double r) {
  const double r2 = r * r;
  double p = 1.0 / 6402373705728000.0;  // 1/18!
  p = p * r2 - 1.0 / 20922789888000.0;  // 1/16!
  p = p * r2 + 1.0 / 87178291200.0;     // 1/14!
  p = p * r2 - 1.0 / 479001600.0;       // 1/12!
  p = p * r2 + 1.0 / 3628800.0;         // 1/10!
  p = p * r2 - 1.0 / 40320.0;           // 1/8!
  p = p * r2 + 1.0 / 720.0;             // 1/6!
  p = p * r2 - 1.0 / 24.0;              // 1/4!
  p = p * r2 + 0.5;
  return 1.0 - r2 * p;
}

// |x| = (quadrant + r / (pi/2)) * pi/2 with |r| <= pi/4 (up to rounding), for
// finite |x| > pi/4; returns r and sets quadrant (mod 4).
double reduce_half_pi(float magnitude, int& quadrant) {
  // |x| = m * 2^e; |x| >= 0.5, always normal
  const auto [m, e] = float_parts(float_bits(magnitude));

  // Words of 2/pi whose products with m * 2^e are multiples of 4 do not
  // matter modulo 4; the window starts at the first word that does.
  const int first = e >= 2 ? (e - 2) / 32 + 1 : 1;  // 1-based word index
  // P = m * window, little-endian 32-bit limbs; |x| * 2/pi ~ P * 2^-shift.
  std::uint32_t p[kWindowWords + 1] = {};
  std::uint64_t carry = 0;
  for (int i = 0; i < kWindowWords; ++i) {
    const std::uint64_t t =
        static_cast<std::uint64_t>(kTwoOverPi[first - 1 + kWindowWords - 1 - i]) * m + carry;
    p[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  p[kWindowWords] = static_cast<std::uint32_t>(carry);
  const int shift = 32 * (first + kWindowWords - 1) - e;  // between 127 and 184

  auto limb = [&](int i) -> std::uint64_t { return i >= 0 && i <= kWindowWords ? p[i] : 0u; };
  auto bit_field = [&](int low) {  // the 64 bits of P from bit `low` up
    const int word = low >= 0 ? low / 32 : -((31 - low) / 32);
    const int offset = low - 32 * word;
    if (offset == 0) return limb(word) | limb(word + 1) << 32;
    return limb(word) >> offset | limb(word + 1) << (32 - offset) | limb(word + 2) << (64 - offset);
  };
  quadrant = static_cast<int>(bit_field(shift) & 3u);
  std::uint64_t hi = bit_field(shift - 64);
  std::uint64_t lo = bit_field(shift - 128);
  double sign = 1.0;
  if ((hi >> 63) != 0) {  // fraction >= 1/2: take the next quadrant, negative remainder
    quadrant = (quadrant + 1) & 3;
    lo = ~lo + 1;
    hi = ~hi + (lo == 0 ? 1 : 0);
    sign = -1.0;
  }
  const double fraction = static_cast<double>(hi) * 0x1p-64 + static_cast<double>(lo) * 0x1p-128;
  return sign * fraction * kHalfPi;
}

// For |x| below 2^20 (every phase of a realistic reflection) the reduction
// subtracts k pi/2 in three pieces (Cody and Waite): pi/2 = C1 + C2 + C3 with
// C1 and C2 of 26 and 25 significant bits, so that for |k| < 2^20 the
// products k C1 and k C2 and both differences are exact in double, and only
// the last, tiny subtraction rounds. The signed argument is reduced as it
// is (sin is odd and every step is symmetric in sign, so this equals
// reducing |x|), and for |x| <= pi/4 it leaves k = 0 and r = x; only a
// zero's sign is lost, which the callers restore. Written without branches,
// so that loops over many arguments vectorize.
constexpr float kModerateLimit = 0x1p20f;

inline void sin_cos_moderate(float x, float& sine, float& cosine) {
  constexpr double kTwoOverPiD = 0.63661977236758138;  // 2/pi rounded to double
  constexpr double kC1 = 0x1.921fb5p+0;
  constexpr double kC2 = 0x1.110b46p-26;
  constexpr double kC3 = 0x1.1a62633145c07p-54;
  const double xd = x;
  const double shifted = xd * kTwoOverPiD + kRoundingShift;
  const std::uint64_t quadrant = std::bit_cast<std::uint64_t>(shifted) & 3u;
  const double k = shifted - kRoundingShift;
  const double r = ((xd - k * kC1) - k * kC2) - k * kC3;
  const double s = sin_series(r);
  const double c = cos_series(r);
  // sin(q pi/2 + r) and cos(q pi/2 + r) by quadrant q: odd quadrants swap
  // the two, quadrants 2 and 3 negate the sine, 1 and 2 the cosine (done on
  // the bits, which keeps the loop free of branches).
  const std::uint64_t s_bits = std::bit_cast<std::uint64_t>(s);
  const std::uint64_t c_bits = std::bit_cast<std::uint64_t>(c);
  const std::uint64_t swap = 0u - (quadrant & 1u);  // all ones in odd quadrants
  const std::uint64_t sine_sign = (quadrant & 2u) << 62;
  const std::uint64_t cosine_sign = ((quadrant + 1u) & 2u) << 62;
  sine = static_cast<float>(std::bit_cast<double>(((c_bits & swap) | (s_bits & ~swap)) ^ sine_sign));
  cosine = static_cast<float>(std::bit_cast<double>(((s_bits & swap) | (c_bits & ~swap)) ^ cosine_sign));
}

// Beyond these bounds e^x overflows or vanishes in float.
constexpr float kExpUpper = 89.0f;
constexpr float kExpLower = -104.0f;

// e^x for kExpLower <= x <= kExpUpper, without branches.
inline float exp_moderate(float x) {
  // x = k ln2 + r, |r| <= ln2 / 2; ln2_hi has few enough bits that k * ln2_hi
  // and x - k * ln2_hi are exact.
  constexpr double kLn2Hi = 0x1.62e42fefa0000p-1;
  constexpr double kLn2Lo = 0x1.cf79abc9e3b3ap-40;
  constexpr double kInvLn2 = 1.4426950408889634;
  const double xd = x;
  const double shifted = xd * kInvLn2 + kRoundingShift;
  const double k = shifted - kRoundingShift;
  const double r = (xd - k * kLn2Hi) - k * kLn2Lo;
  // e^r by its Taylor series to r^14 (|r| <= 0.35: next term below 1e-19).
  double p = 1.0 / 87178291200.0;  // 1/14!
  constexpr double kInverseFactorials[] = {1.0 / 6227020800.0,
                                           1.0 / 479001600.0,
                                           1.0 / 39916800.0,
                                           1.0 / 3628800.0,
                                           1.0 / 362880.0,
                                           1.0 / 40320.0,
                                           1.0 / 5040.0,
                                           1.0 / 720.0,
                                           1.0 / 120.0,
                                           1.0 / 24.0,
                                           1.0 / 6.0,
                                           0.5,
                                           1.0,
                                           1.0};
  for (double c : kInverseFactorials) p = p * r + c;
  // Times 2^k (k between -151 and 129), built from its bits: the low 12 bits
  // of the shifted sum are k modulo 4096, so adding the bias and shifting
  // into the exponent field gives the double 2^k exactly. The one rounding
  // is the conversion to float.
  const std::uint64_t scale_bits = (std::bit_cast<std::uint64_t>(shifted) + 1023u) << 52;
  return static_cast<float>(p * std::bit_cast<double>(scale_bits));
}

float nan_f() { return std::numeric_limits<float>::quiet_NaN(); }

// sin and cos of x from one reduction.
void sin_cos(float x, float& sine, float& cosine) {
  if (std::isnan(x) || std::isinf(x)) {
    sine = cosine = nan_f();
    return;
  }
  const float magnitude = std::fabs(x);
  if (magnitude == 0.0f) {  // sin keeps the sign of a zero (the series would not)
    sine = x;
    cosine = 1.0f;
    return;
  }
  if (magnitude < kModerateLimit) {
    sin_cos_moderate(x, sine, cosine);
    return;
  }
  // |x| = quadrant * pi/2 + r; sine is odd in x.
  int quadrant;
  const double r = reduce_half_pi(magnitude, quadrant);
  const double sign = std::signbit(x) ? -1.0 : 1.0;
  const bool swap = quadrant % 2 == 1;
  double v = swap ? cos_series(r) : sin_series(r);
  sine = static_cast<float>(sign * (quadrant >= 2 ? -v : v));
  v = swap ? sin_series(r) : cos_series(r);
  cosine = static_cast<float>(quadrant == 1 || quadrant == 2 ? -v : v);
}

}  // namespace

float sin_f(float x) {
  float s, c;
  sin_cos(x, s, c);
  return s;
}

float cos_f(float x) {
  float s, c;
  sin_cos(x, s, c);
  return c;
}

void sincos_f(float x, float& sine, float& cosine) { sin_cos(x, sine, cosine); }

float exp_f(float x) {
  if (std::isnan(x)) return x;
  if (x > kExpUpper) return std::numeric_limits<float>::infinity();
  if (x < kExpLower) return 0.0f;
  return exp_moderate(x);
}

namespace {

// The batch loops, compiled once per instruction set (see vector_path.hpp).
[[gnu::always_inline]] inline void sincos_batch(std::span<const float> x, std::span<float> sine,
                                                std::span<float> cosine) {
  const std::size_t n = x.size();
  for (std::size_t i = 0; i < n; ++i) sin_cos_moderate(x[i], sine[i], cosine[i]);
  // Zeros, arguments outside the moderate range and NaN take the general path.
  for (std::size_t i = 0; i < n; ++i) {
    if (!(std::fabs(x[i]) < kModerateLimit) || x[i] == 0.0f) sin_cos(x[i], sine[i], cosine[i]);
  }
}

[[gnu::always_inline]] inline void exp_batch(std::span<const float> x, std::span<float> result) {
  const std::size_t n = x.size();
  for (std::size_t i = 0; i < n; ++i) result[i] = exp_moderate(x[i]);
  // Arguments whose result overflows or vanishes (and NaN) take the general path.
  for (std::size_t i = 0; i < n; ++i) {
    if (!(x[i] >= kExpLower && x[i] <= kExpUpper)) result[i] = exp_f(x[i]);
  }
}

void sincos_baseline(std::span<const float> x, std::span<float> sine, std::span<float> cosine) {
  sincos_batch(x, sine, cosine);
}
void exp_baseline(std::span<const float> x, std::span<float> result) { exp_batch(x, result); }

#ifdef VELMORA_X86_PATHS
VELMORA_AVX2 void sincos_avx2(std::span<const float> x, std::span<float> sine, std::span<float> cosine) {
  sincos_batch(x, sine, cosine);
}
VELMORA_AVX2 void exp_avx2(std::span<const float> x, std::span<float> result) { exp_batch(x, result); }
VELMORA_AVX512 void sincos_avx512(std::span<const float> x, std::span<float> sine, std::span<float> cosine) {
  sincos_batch(x, sine, cosine);
}
VELMORA_AVX512 void exp_avx512(std::span<const float> x, std::span<float> result) { exp_batch(x, result); }
#endif

}  // namespace

void sincos_f_many(std::span<const float> x, std::span<float> sine, std::span<float> cosine) {
#ifdef VELMORA_X86_PATHS
  if (vector_path() == VectorPath::avx512) return sincos_avx512(x, sine, cosine);
  if (vector_path() == VectorPath::avx2) return sincos_avx2(x, sine, cosine);
#endif
  sincos_baseline(x, sine, cosine);
}

void exp_f_many(std::span<const float> x, std::span<float> result) {
#ifdef VELMORA_X86_PATHS
  if (vector_path() == VectorPath::avx512) return exp_avx512(x, result);
  if (vector_path() == VectorPath::avx2) return exp_avx2(x, result);
#endif
  exp_baseline(x, result);
}

}  // namespace velmora
