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
  const double fifth = g2 * g2 * g + 2.69269 * g2 * g2 * l + 2.42843 * g2 * g * l2 + 4.47163 * g2 * l2 * l +
                       0.07842 * g * l2 * l2 + l2 * l2 * l;
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
  const double gauss =
      std::abs(dx) > kGaussianSigmas * sigma
          ? 0.0
          : std::exp(-(dx * dx) / (2.0 * sigma * sigma)) / (sigma * std::sqrt(2.0 * std::numbers::pi));
  if (shape.eta == 0) return gauss;
  // (2 / (pi Gamma)) / (1 + 4 dx^2 / Gamma^2)
  const double half = shape.fwhm / 2.0;
  const double lorentz = half / (std::numbers::pi * (dx * dx + half * half));
  return shape.eta * lorentz + (1.0 - shape.eta) * gauss;
}

void add_profile(const PeakShape& shape, double centre, double area, const std::vector<double>& x,
                 std::size_t first, std::size_t last, std::vector<double>& y) {
  // The points within six sigma (and a hair, so that every point outside is
  // beyond the Gaussian's cut however dx rounds).
  const double core = kGaussianSigmas * (1 + 1e-9) * shape.fwhm / kFwhmPerSigma;
  const auto begin = x.begin() + static_cast<std::ptrdiff_t>(first),
             end = x.begin() + static_cast<std::ptrdiff_t>(last);
  const auto low = static_cast<std::size_t>(std::lower_bound(begin, end, centre - core) - x.begin());
  const auto high = static_cast<std::size_t>(
      std::upper_bound(x.begin() + static_cast<std::ptrdiff_t>(low), end, centre + core) - x.begin());
  for (std::size_t i = low; i < high; ++i) y[i] += area * profile_at(shape, x[i] - centre);
  if (shape.eta == 0) return;
  // eta * Lorentzian + (1 - eta) * 0, as profile_at has it there
  const double half = shape.fwhm / 2.0, half_squared = half * half, eta = shape.eta;
  const auto tail = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const double dx = x[i] - centre;
      y[i] += area * (eta * (half / (std::numbers::pi * (dx * dx + half_squared))));
    }
  };
  tail(first, low);
  tail(high, last);
}

std::pair<std::size_t, std::size_t> points_within(const std::vector<double>& x, double centre, double reach) {
  const auto first = std::lower_bound(x.begin(), x.end(), centre - reach);
  const auto last = std::upper_bound(first, x.end(), centre + reach);
  return {static_cast<std::size_t>(first - x.begin()), static_cast<std::size_t>(last - x.begin())};
}

}  // namespace velmora::powder
