// Pseudo-Voigt profiles in double precision: the Thompson-Cox-Hastings
// polynomials for the total width and the Lorentzian fraction, and the two
// unit-area line shapes.
#include "powder/peak_shape.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora::powder {
namespace {

// FWHM = 2 sqrt(2 ln 2) sigma for a Gaussian.
const double kFwhmPerSigma = 2.0 * std::sqrt(2.0 * std::numbers::ln2);
constexpr double kGaussianSigmas = 6.0;
constexpr double kLorentzianWidths = 200.0;

}  // namespace

PeakShape tch_shape(double g, double l) {
  // Gamma^5 = g^5 + 2.69269 g^4 l + 2.42843 g^3 l^2 + 4.47163 g^2 l^3 + 0.07842 g l^4 + l^5
  const double g2 = g * g, l2 = l * l;
  const double fifth = g2 * g2 * g + 2.69269 * g2 * g2 * l + 2.42843 * g2 * g * l2 +
                       4.47163 * g2 * l2 * l + 0.07842 * g * l2 * l2 + l2 * l2 * l;
  const double fwhm = std::pow(fifth, 0.2);
  // eta = 1.36603 q - 0.47719 q^2 + 0.11116 q^3, q = l / Gamma
  const double q = l / fwhm;
  const double eta = std::clamp(1.36603 * q - 0.47719 * q * q + 0.11116 * q * q * q, 0.0, 1.0);
  return {fwhm, eta};
}

double shape_reach(const PeakShape& shape) {
  const double gaussian = kGaussianSigmas * shape.fwhm / kFwhmPerSigma;
  return shape.eta > 0 ? std::max(gaussian, kLorentzianWidths * shape.fwhm) : gaussian;
}

double profile_at(const PeakShape& shape, double dx) {
  const double sigma = shape.fwhm / kFwhmPerSigma;
  // exp(-dx^2 / 2 sigma^2) / (sigma sqrt(2 pi)), nothing beyond the Gaussian's reach
  const double gauss = std::abs(dx) > kGaussianSigmas * sigma
                           ? 0.0
                           : std::exp(-(dx * dx) / (2.0 * sigma * sigma)) / (sigma * std::sqrt(2.0 * std::numbers::pi));
  if (shape.eta == 0) return gauss;
  // (2 / (pi Gamma)) / (1 + 4 dx^2 / Gamma^2)
  const double half = shape.fwhm / 2.0;
  const double lorentz = half / (std::numbers::pi * (dx * dx + half * half));
  return shape.eta * lorentz + (1.0 - shape.eta) * gauss;
}

std::pair<std::size_t, std::size_t> points_within(const std::vector<double>& x, double centre,
                                                  double reach) {
  const auto first = std::lower_bound(x.begin(), x.end(), centre - reach);
  const auto last = std::upper_bound(first, x.end(), centre + reach);
  return {static_cast<std::size_t>(first - x.begin()), static_cast<std::size_t>(last - x.begin())};
}

}  // namespace velmora::powder
