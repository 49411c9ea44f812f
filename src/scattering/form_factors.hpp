// Form factors and the Debye-Waller factor at s = sin(theta) / lambda. The
// exponentials are the single-precision ones (exp_f), each taken of an argument
// computed in double and rounded once.
#pragma once

#include <array>
#include <cmath>

#include "app/single_math.hpp"

namespace velmora {

// exp(-coefficient s^2), the argument formed as -(coefficient s s).
inline float gaussian_term(float coefficient, float s) {
  const float argument = static_cast<float>(-(static_cast<double>(coefficient) * s * s));
  return exp_f(argument);
}

// X-ray form factor: four Gaussians and a constant, terms added left to right.
inline float xray_form_factor(const std::array<float, 9>& x, float s) {
  const double sum = static_cast<double>(x[0]) * gaussian_term(x[1], s) +
                     static_cast<double>(x[2]) * gaussian_term(x[3], s) +
                     static_cast<double>(x[4]) * gaussian_term(x[5], s) +
                     static_cast<double>(x[6]) * gaussian_term(x[7], s) + x[8];
  return static_cast<float>(sum);
}

// Magnetic form factor <j0>: three Gaussians and a constant.
inline float magnetic_form_factor(const std::array<float, 7>& m, float s) {
  const double sum = static_cast<double>(m[0]) * gaussian_term(m[1], s) +
                     static_cast<double>(m[2]) * gaussian_term(m[3], s) +
                     static_cast<double>(m[4]) * gaussian_term(m[5], s) + m[6];
  return static_cast<float>(sum);
}

// Debye-Waller factor exp(-B s^2), written as exp(-B kappa^2 / (4 pi)^2).
inline float debye_waller(float biso, float kappa, float pi) {
  const double kappa2 = static_cast<double>(kappa) * kappa;
  const double four_pi = static_cast<double>(pi) * 4.0;
  const float argument = static_cast<float>(-(biso * kappa2) / (four_pi * four_pi));
  return exp_f(argument);
}

// h x + k y + l z, summed from zero and rounded at each step.
inline float phase_sum(const std::array<float, 3>& h, const std::array<float, 3>& x) {
  float sum = 0.0f;
  for (int k = 0; k < 3; ++k) sum = static_cast<float>(sum + static_cast<double>(h[k]) * x[k]);
  return sum;
}

}  // namespace velmora
