// Checks of the number kernels against the standard library, shared by the property tests and
// the exhaustive verifier: one float's shortest digits and fixed-point fields, and the sine,
// cosine and exponential of a batch of arguments.
#pragma once

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "numbers/fixed_point.hpp"
#include "numbers/shortest_digits.hpp"
#include "numbers/single_math.hpp"

namespace kernel_checks {

inline std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }
inline float from_bits(std::uint64_t b) { return std::bit_cast<float>(static_cast<std::uint32_t>(b)); }
// NaN results compare equal whatever their payload.
inline std::uint32_t canonical(float f) { return std::isnan(f) ? 0x7FC00000u : bits(f); }

// Significant digits and the decimal exponent of the first, from a form "d.ddde+XX".
inline std::string mantissa_digits(const std::string& scientific, int& exponent) {
  std::size_t e = scientific.find('e');
  exponent = std::stoi(scientific.substr(e + 1));
  std::string digits = scientific.substr(0, 1) + (e > 2 ? scientific.substr(2, e - 2) : "");
  return digits.erase(std::max<std::size_t>(1, digits.find_last_not_of('0') + 1));
}

// The shortest digits of a finite value must read back as that value, and equal the library's
// shortest form, except where the exact value lies halfway between that form and the next
// string of as many digits: the printer then takes the upper one. Returns "" or "tie" or a fault.
inline std::string shortest_digits_fault(float value) {
  const float magnitude = std::fabs(value);
  velmora::ShortestDigits ours = velmora::shortest_digits(value);
  std::string digits(ours.digits, static_cast<std::size_t>(ours.count));
  std::string text = digits + "e" + std::to_string(ours.exponent - ours.count + 1);
  float back = -1.0f;
  std::from_chars(text.data(), text.data() + text.size(), back);
  if (bits(back) != bits(magnitude)) return text + " reads back as another float";
  char buf[160];
  int lib_exponent = 0, exact_exponent = 0;
  std::string lib = mantissa_digits(
      std::string(buf, std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific).ptr),
      lib_exponent);
  if (lib == digits && lib_exponent == ours.exponent) return "";
  std::snprintf(buf, sizeof buf, "%.130e", static_cast<double>(magnitude));  // exact, then zeros
  std::string upper = lib;
  for (std::size_t i = upper.size(); i-- > 0 && ++upper[i] > '9';) upper[i] = '0';
  if (upper == digits && lib_exponent == ours.exponent && mantissa_digits(buf, exact_exponent) == lib + "5" &&
      exact_exponent == lib_exponent)
    return "tie";
  return text + " differs from the library's shortest " + lib + "e" + std::to_string(lib_exponent);
}

// A finite value in the fields the program prints and others (every count of decimals the
// printer takes, narrow fields that drop a leading zero), against the library's exactly rounded
// "%.*f": a lone leading zero goes when the text is one too long, and a text that still does not
// fit gives asterisks (as every field does from 1e9 up). Returns "" or the faults.
inline std::string fixed_point_fault(float value) {
  constexpr int kinds[][2] = {{5, 1}, {6, 2}, {7, 3}, {8, 3}, {12, 3}, {4, 3}, {5, 3}, {8, 4}, {15, 5}};
  const bool huge = std::fabs(value) >= 1e9f;
  char library[80];
  int length = 0, decimals = -1;
  std::string fault;
  for (auto [width, d] : kinds) {
    if (d != decimals && !huge)
      length = std::snprintf(library, sizeof library, "%.*f", decimals = d, static_cast<double>(value));
    std::string want = huge ? "" : std::string(library, static_cast<std::size_t>(length));
    const std::size_t zero = want[0] == '-' ? 1 : 0;
    if (static_cast<int>(want.size()) == width + 1 && want.compare(zero, 2, "0.") == 0) want.erase(zero, 1);
    if (static_cast<int>(want.size()) > width || huge) want.assign(static_cast<std::size_t>(width), '*');
    want.insert(0, static_cast<std::size_t>(width) - want.size(), ' ');
    char got[velmora::kMaxFieldWidth];
    velmora::put_fixed_point(got, value, width, d);
    if (want.compare(0, want.size(), got, static_cast<std::size_t>(width)) != 0)
      fault += " \"" + std::string(got, static_cast<std::size_t>(width)) + "\" for \"" + want + "\"";
  }
  return fault;
}

// sin_f, cos_f and exp_f of every x against the double-precision library rounded once to float,
// and sincos_f and the batch functions against them: seen(x, results, right) for each argument.
template <typename Seen>
void check_single_math(std::span<const float> x, Seen&& seen) {
  std::vector<float> s(x.size()), c(x.size()), e(x.size());
  velmora::sincos_f_many(x, s, c);
  velmora::exp_f_many(x, e);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double xd = x[i];
    const float ours[3] = {velmora::sin_f(x[i]), velmora::cos_f(x[i]), velmora::exp_f(x[i])};
    const float want[3] = {static_cast<float>(std::sin(xd)), static_cast<float>(std::cos(xd)),
                           static_cast<float>(std::exp(xd))};
    float sine = 0, cosine = 0;
    velmora::sincos_f(x[i], sine, cosine);
    const float again[5] = {s[i], c[i], e[i], sine, cosine};  // the same results by other routes
    bool ok = true;
    for (int k = 0; k < 3; ++k) ok = ok && canonical(ours[k]) == canonical(want[k]);
    for (int k = 0; k < 5; ++k) ok = ok && canonical(again[k]) == canonical(ours[k % 3]);
    seen(x[i], ours, ok);
  }
}

}  // namespace kernel_checks
