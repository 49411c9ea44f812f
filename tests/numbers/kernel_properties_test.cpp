// One property per number kernel, over random floats and the floats where the gaps between
// neighbours change (powers of two and their neighbours, every binade, both signs), against the
// standard library: decimal input against strtof, shortest digits against to_chars, fixed-point
// fields against snprintf, sine, cosine and exponential against the double-precision functions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "each_vector_path.hpp"
#include "kernel_checks.hpp"
#include "numbers/decimal_to_float.hpp"
#include "numbers/vector_path.hpp"

namespace {

using namespace kernel_checks;

// Every power of two and its neighbours, then random bit patterns; finite values only.
std::vector<float> test_floats(int random_count, std::uint32_t seed, bool negative = true) {
  std::vector<float> values;
  for (std::uint32_t biased = 0; biased < 255; ++biased) {
    for (std::uint32_t mantissa : {0u, 1u, 2u, 0x7FFFFEu, 0x7FFFFFu}) {
      values.push_back(from_bits(biased << 23 | mantissa));
      if (negative) values.push_back(-values.back());
    }
  }
  std::mt19937 rng(seed);
  while (random_count > 0) {
    float value = from_bits(rng() & (negative ? ~0u : 0x7FFFFFFFu));
    if (std::isfinite(value)) values.push_back(value), --random_count;
  }
  return values;
}

// Counts the values for which fault() is not empty, naming the first ten.
template <typename Fault>
int failures(const std::vector<float>& values, Fault fault) {
  int count = 0;
  for (float value : values) {
    std::string what = fault(value);
    if (!what.empty() && ++count <= 10) ADD_FAILURE() << std::hexfloat << value << ": " << what;
  }
  return count;
}

// Digits d1 d2 ... (leading zeros allowed) of the value 0.d1d2... * 10^point, read by the kernel
// and by the library.
std::string conversion_fault(const std::string& digits, long point) {
  velmora::DecimalDigits d;
  d.point = point;
  for (char c : digits) {
    if (d.count == 0 && c == '0')
      --d.point;
    else
      d.push(c - '0');
  }
  std::string text = "0." + digits + "e" + std::to_string(point);
  float want = std::strtof(text.c_str(), nullptr);
  float got = velmora::decimal_to_float(d);
  return bits(got) == bits(want) ? "" : text + " read as bits " + std::to_string(bits(got));
}

// Random decimal texts, and the exact midpoints between neighbouring floats cut short, or extended
// to up to 250 digits (beyond the digits the kernel keeps) and then moved one unit up or down.
TEST(NumberKernelProperty, DecimalInputIsTheNearestFloatLikeStrtof) {
  std::mt19937 rng(1789u);
  EXPECT_EQ(failures(test_floats(100'000, 1791u, false),
                     [&](float below) {
                       std::string digits;
                       for (int n = 1 + rng() % 30; n > 0; --n) digits += static_cast<char>('0' + rng() % 10);
                       std::string random_fault =
                           conversion_fault(digits, static_cast<long>(rng() % 100) - 55);
                       double above = bits(below) == 0x7F7FFFFFu ? 0x1p128 : from_bits(bits(below) + 1);
                       char buf[160];
                       std::snprintf(buf, sizeof buf, "%.130e", (below + above) / 2);  // exact
                       int exponent = 0, way = rng() % 3;  // exactly, above or below the midpoint
                       std::string mid = mantissa_digits(buf, exponent);
                       std::size_t n = 1 + rng() % 250, own = mid.size();
                       if (n <= own) return random_fault + conversion_fault(mid.substr(0, n), exponent + 1);
                       if (way == 2) --mid.back();
                       mid.append(n - own, way == 2 ? '9' : '0');
                       if (way == 1) mid.back() = '1';
                       return random_fault + conversion_fault(mid, exponent + 1);
                     }),
            0);
}

TEST(NumberKernelProperty, ShortestDigitsReadBackAndMatchTheLibraryOutsideTies) {
  EXPECT_EQ(failures(test_floats(300'000, 20240611u),
                     [](float value) {
                       std::string fault = shortest_digits_fault(value);
                       return fault == "tie" ? "" : fault;
                     }),
            0);
}

// Besides random floats, values of field-sized magnitude (2^-20 to 2^27) and exact ties at 1, 3
// and 4 decimals (multiples of 1/4, 1/16 and 1/32).
TEST(NumberKernelProperty, FixedPointFieldsAgreeWithSnprintf) {
  std::vector<float> values = test_floats(100'000, 20240612u);
  std::mt19937 rng(20240613u);
  for (int i = 0; i < 100'000; ++i) {
    values.push_back(from_bits((107 + rng() % 48) << 23 | (rng() & 0x807FFFFFu)));
    values.push_back(std::ldexp(static_cast<float>(static_cast<int>(rng() % (1u << 25)) - (1 << 24)),
                                -static_cast<int>(rng() % 7)));
  }
  EXPECT_EQ(failures(values, fixed_point_fault), 0);
}

// The floats of 2^20 and above nearest to a multiple of pi/2 (sine or cosine below 3e-8 in
// magnitude), where the large-argument reduction needs all its bits.
constexpr float kHardArguments[] = {
    0x1.4ac55cp+21f,  0x1.4665d2p+25f, 0x1.4665d2p+26f, 0x1.27a94ap+29f, 0x1.47d0fep+34f,  0x1.47d0fep+35f,
    0x1.47d0fep+36f,  0x1.47d0fep+37f, 0x1.628d4cp+40f, 0x1.628d4cp+41f, 0x1.628d4cp+42f,  0x1.0f79ap+57f,
    0x1.0f79ap+58f,   0x1.5c0e66p+73f, 0x1.13093p+76f,  0x1.13093p+77f,  0x1.9c8dc8p+77f,  0x1.13093p+78f,
    0x1.32ede2p+85f,  0x1.32ede2p+86f, 0x1.32ede2p+87f, 0x1.abb4bp+89f,  0x1.abb4bp+90f,   0x1.f37c8ap+95f,
    0x1.f37c8ap+96f,  0x1.f37c8ap+97f, 0x1.f37c8ap+98f, 0x1.f37c8ap+99f, 0x1.7f4134p+101f, 0x1.b08c4ap+111f,
    0x1.b08c4ap+112f, 0x1.7b9b4p+126f};

// On every instruction-set path. Also infinities and NaN, arguments of 2^20 and above (reduced by
// the long product with 2/pi), and multiples of pi/2 below it; the batches in lengths that end
// inside and after a vector.
class BatchKernelProperty : public velmora::EachVectorPath {};

TEST_P(BatchKernelProperty, SineCosineAndExponentialAreTheDoubleLibraryRoundedOnce) {
  std::vector<float> x = test_floats(400'000, 2026u);
  for (float hard : kHardArguments) x.insert(x.end(), {hard, -hard});
  x.insert(x.end(), {INFINITY, -INFINITY, NAN});
  std::mt19937 rng(2027u);
  for (int i = 0; i < 400'000; ++i) {
    x.push_back(from_bits((147 + rng() % 107) << 23 | (rng() & 0x807FFFFFu)));
    x.push_back(static_cast<float>((rng() % 600'000) * 1.5707963267948966));
  }
  int faults = 0;
  for (std::size_t at = 0, length = 1; at < x.size(); at += length, length = length * 3 % 4099) {
    check_single_math(std::span<const float>(x.data() + at, std::min(length, x.size() - at)),
                      [&](float arg, const float*, bool right) {
                        if (!right && ++faults <= 10) ADD_FAILURE() << "argument " << std::hexfloat << arg;
                      });
  }
  EXPECT_EQ(faults, 0);
}
VELMORA_ON_EVERY_VECTOR_PATH(BatchKernelProperty);

}  // namespace
