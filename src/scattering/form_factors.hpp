// Form factors and the Debye-Waller factor at s = sin(theta) / lambda, and
// the phase of a site. The exponentials are the single-precision ones
// (exp_f), each taken of an argument computed in double and rounded once.
// Formulas that the reflection loop evaluates for several reflections at once
// are templates over Real: a float, or lanes of floats.
#pragma once

#include <array>
#include <cmath>

#include "numbers/lanes.hpp"
#include "numbers/single_math.hpp"

namespace velmora {

// exp(-coefficient s^2), the argument formed as -(coefficient s s).
inline float gaussian_exponent(float coefficient, float s) {
  return static_cast<float>(-(static_cast<double>(coefficient) * s * s));
}

inline float gaussian_term(float coefficient, float s) { return exp_f(gaussian_exponent(coefficient, s)); }

// X-ray form factor: four Gaussians (given, in table order) and a constant,
// terms added left to right.
inline float xray_form_factor(const std::array<float, 9>& x, const float* gaussians) {
  const double sum = static_cast<double>(x[0]) * gaussians[0] + static_cast<double>(x[2]) * gaussians[1] +
                     static_cast<double>(x[4]) * gaussians[2] + static_cast<double>(x[6]) * gaussians[3] +
                     x[8];
  return static_cast<float>(sum);
}

inline float xray_form_factor(const std::array<float, 9>& x, float s) {
  const float g[4] = {gaussian_term(x[1], s), gaussian_term(x[3], s), gaussian_term(x[5], s),
                      gaussian_term(x[7], s)};
  return xray_form_factor(x, g);
}

// Magnetic form factor <j0>: three Gaussians and a constant.
inline float magnetic_form_factor(const std::array<float, 7>& m, const float* gaussians) {
  const double sum = static_cast<double>(m[0]) * gaussians[0] + static_cast<double>(m[2]) * gaussians[1] +
                     static_cast<double>(m[4]) * gaussians[2] + m[6];
  return static_cast<float>(sum);
}

inline float magnetic_form_factor(const std::array<float, 7>& m, float s) {
  const float g[3] = {gaussian_term(m[1], s), gaussian_term(m[3], s), gaussian_term(m[5], s)};
  return magnetic_form_factor(m, g);
}

// Debye-Waller factor exp(-B s^2), written as exp(-B kappa^2 / (4 pi)^2),
// and its exponent alone.
template <typename Real>
[[gnu::always_inline]] inline Real debye_waller_exponent(float biso, const Real& kappa, float pi) {
  const auto kappa2 = widen(kappa) * widen(kappa);
  const double four_pi = static_cast<double>(pi) * 4.0;
  return narrow(-(widen_each<Real>(biso) * kappa2) / spread<Real>(four_pi * four_pi));
}

inline float debye_waller(float biso, float kappa, float pi) {
  return exp_f(debye_waller_exponent(biso, kappa, pi));
}

// h x + k y + l z, summed from zero and rounded at each step.
template <typename Real>
[[gnu::always_inline]] inline Real phase_sum(const std::array<Real, 3>& h, const std::array<float, 3>& x) {
  Real sum{};
  for (int k = 0; k < 3; ++k) sum = narrow(widen(sum) + widen(h[k]) * widen_each<Real>(x[k]));
  return sum;
}

// The phase angle 2 pi (hx + ky + lz) of a site.
template <typename Real>
[[gnu::always_inline]] inline Real phase_angle(const std::array<float, 3>& xyz, const std::array<Real, 3>& h,
                                               float pi) {
  return narrow((widen_each<Real>(pi) + widen_each<Real>(pi)) * widen(phase_sum(h, xyz)));
}

}  // namespace velmora
