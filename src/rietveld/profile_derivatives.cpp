// The Gaussian exp(-dx^2 / 2 sigma^2) / (sigma sqrt(2 pi)) with sigma =
// Gamma / (2 sqrt(2 ln 2)), cut at six sigma as the pattern cuts it, and the
// Lorentzian (Gamma / 2) / (pi (dx^2 + Gamma^2 / 4)), differentiated term by
// term; the TCH polynomials differentiated by the chain rule.
#include "rietveld/profile_derivatives.hpp"

#include <cmath>
#include <numbers>

namespace velmora::rietveld {
namespace {

const double kFwhmPerSigma = 2.0 * std::sqrt(2.0 * std::numbers::ln2);
constexpr double kGaussianSigmas = 6.0;

}  // namespace

ProfileValue profile_with_derivatives(const powder::PeakShape& shape, double dx, bool cut) {
  const double fwhm = shape.fwhm, sigma = fwhm / kFwhmPerSigma;
  double gauss = 0, gauss_dx = 0, gauss_fwhm = 0;
  if (!cut || std::abs(dx) <= kGaussianSigmas * sigma) {
    gauss = std::exp(-(dx * dx) / (2.0 * sigma * sigma)) / (sigma * std::sqrt(2.0 * std::numbers::pi));
    gauss_dx = -gauss * dx / (sigma * sigma);
    // d/dsigma of the Gaussian is G (dx^2 / sigma^3 - 1 / sigma); dsigma/dGamma = 1 / kFwhmPerSigma
    gauss_fwhm = gauss * (dx * dx / (sigma * sigma * sigma) - 1.0 / sigma) / kFwhmPerSigma;
  }
  ProfileValue v;
  const double half = fwhm / 2.0, denominator = dx * dx + half * half;
  const double lorentz = half / (std::numbers::pi * denominator);
  const double lorentz_dx = -2.0 * dx * lorentz / denominator;
  // d/dhalf of half / (pi (dx^2 + half^2)) = (dx^2 - half^2) / (pi denominator^2); dhalf/dGamma = 1/2
  const double lorentz_fwhm = (dx * dx - half * half) / (std::numbers::pi * denominator * denominator) / 2.0;
  v.value = shape.eta * lorentz + (1.0 - shape.eta) * gauss;
  v.by_dx = shape.eta * lorentz_dx + (1.0 - shape.eta) * gauss_dx;
  v.by_fwhm = shape.eta * lorentz_fwhm + (1.0 - shape.eta) * gauss_fwhm;
  v.by_eta = lorentz - gauss;
  return v;
}

TchDerivatives tch_with_derivatives(double g, double l) {
  TchDerivatives t;
  t.shape = powder::tch_shape(g, l);
  const double fwhm = t.shape.fwhm;
  // d(Gamma^5)/dg and /dl of the polynomial
  const double g2 = g * g, l2 = l * l;
  const double fifth_g = 5 * g2 * g2 + 4 * 2.69269 * g2 * g * l + 3 * 2.42843 * g2 * l2 +
                         2 * 4.47163 * g * l2 * l + 0.07842 * l2 * l2;
  const double fifth_l = 2.69269 * g2 * g2 + 2 * 2.42843 * g2 * g * l + 3 * 4.47163 * g2 * l2 +
                         4 * 0.07842 * g * l2 * l + 5 * l2 * l2;
  const double fourth = 5 * std::pow(fwhm, 4);
  t.fwhm_by_g = fifth_g / fourth;
  t.fwhm_by_l = fifth_l / fourth;
  // eta(q), q = l / Gamma; no derivative where eta is held at 0 or 1
  const double q = l / fwhm;
  const double raw = 1.36603 * q - 0.47719 * q * q + 0.11116 * q * q * q;
  if (raw >= 0 && raw < 1) {  // from eta = 0 on: a Lorentzian part can grow from none
    const double eta_q = 1.36603 - 2 * 0.47719 * q + 3 * 0.11116 * q * q;
    t.eta_by_g = eta_q * (-l * t.fwhm_by_g / (fwhm * fwhm));
    t.eta_by_l = eta_q * (1.0 / fwhm - l * t.fwhm_by_l / (fwhm * fwhm));
  }
  return t;
}

}  // namespace velmora::rietveld
