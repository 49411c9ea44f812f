// Gaussian peak profiles summed on the grid. The exponentials are the
// project's single-precision ones, so the pattern is the same on every build.
#include "powder/powder_profile.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "numbers/single_math.hpp"
#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

// FWHM = 2 sqrt(2 ln 2) sigma.
const double kFwhmPerSigma = 2.0 * std::sqrt(2.0 * std::numbers::ln2);
constexpr double kTailSigmas = 6.0;
constexpr double kDefaultStep = 0.02;
// The most peak-times-point terms one pattern sums: about a second of work. The
// grid's cap alone does not bound it, since every peak may span the whole grid.
constexpr double kMostProfileTerms = 5e8;

// The terms the pattern would sum: each peak over the grid points within its tails.
double profile_terms(const std::vector<PowderPeak>& peaks, const TwoThetaGrid& grid, const PeakWidth& width) {
  const double n = static_cast<double>(grid.points());
  double terms = 0;
  for (const PowderPeak& peak : peaks)
    terms += std::min(n, 2.0 * kTailSigmas * width.at(peak) / kFwhmPerSigma / grid.step + 1.0);
  return terms;
}

// One pseudo-Voigt peak on the grid points x, its profile in double.
void add_pseudo_voigt(const PowderPeak& peak, const PeakShape& shape, const std::vector<double>& x,
                      PowderPattern& p) {
  const auto [first, last] = points_within(x, peak.two_theta, shape_reach(shape));
  for (std::size_t i = first; i < last; ++i) {
    const double g = profile_at(shape, x[i] - peak.two_theta);
    p.nuclear[i] = accumulate(p.nuclear[i], peak.nuclear * g);
    p.magnetic[i] = accumulate(p.magnetic[i], peak.magnetic * g);
    p.xray[i] = accumulate(p.xray[i], peak.xray * g);
  }
}

}  // namespace

std::size_t TwoThetaGrid::points() const {
  return static_cast<std::size_t>(std::floor((to - from) / step + 1e-6)) + 1;
}

namespace {

// A width law's value at a peak; one that is no positive width ends the run
// naming what gave the law (given_by, else the option).
double checked_width(const std::string& given_by, const char* option, double squared,
                     const PowderPeak& peak) {
  const auto law = [&] { return given_by.empty() ? std::string(option) : given_by; };
  if (!(squared > 0.0) || !std::isfinite(squared))
    fail_powder(law() + ": the width at reflection " + hkl_text(peak.h) + " (2theta " +
                shortest_text(peak.two_theta) + " degrees) would be the square root of " +
                shortest_text(static_cast<float>(squared)) + ", which is no width");
  if (!(squared >= kNarrowestFwhm * kNarrowestFwhm && squared <= kWidestFwhm * kWidestFwhm))
    fail_powder(law() + ": the width at reflection " + hkl_text(peak.h) + " (2theta " +
                shortest_text(peak.two_theta) + " degrees) would be " +
                shortest_text(static_cast<float>(std::sqrt(squared))) + " degrees, not from " +
                limit_text(kNarrowestFwhm) + " to " + limit_text(kWidestFwhm));
  return std::sqrt(squared);
}

}  // namespace

PeakShape PeakWidth::shape_at(const PowderPeak& peak) const {
  const double t = peak.tan_theta;
  if (tch) {
    // Gaussian part from Caglioti's law (it may vanish), Lorentzian X tan theta + Y / cos theta.
    const double gaussian2 = tch->u * t * t + tch->v * t + tch->w;
    const double lorentzian = tch->x * t + tch->y * std::sqrt(1.0 + t * t);
    const double gaussian =
        gaussian2 == 0.0 && lorentzian > 0.0 ? 0.0 : checked_width(given_by, "--tch", gaussian2, peak);
    // Wider than the pattern, the Lorentzian is no peak, and its fifth power overflows the total width.
    if (!(lorentzian >= 0.0 && lorentzian <= kWidestFwhm))
      fail_powder((given_by.empty() ? std::string("--tch") : given_by) +
                  ": the Lorentzian width at reflection " + hkl_text(peak.h) + " (2theta " +
                  shortest_text(peak.two_theta) + " degrees) would be " + limit_text(lorentzian) +
                  " degrees, not from 0 to " + limit_text(kWidestFwhm));
    return tch_shape(gaussian, lorentzian);
  }
  if (!caglioti) return {fwhm, 0.0};
  const auto [u, v, w] = *caglioti;
  return {checked_width(given_by, "--caglioti", u * t * t + v * t + w, peak), 0.0};
}

TwoThetaGrid default_grid(const std::vector<PowderPeak>& peaks, const PeakWidth& width) {
  float nuclear = 0, magnetic = 0, xray = 0;
  for (const PowderPeak& p : peaks) {
    nuclear = std::max(nuclear, p.nuclear);
    magnetic = std::max(magnetic, p.magnetic);
    xray = std::max(xray, p.xray);
  }
  double low = 180.0, high = 0.0;
  for (const PowderPeak& peak : peaks) {
    if (!observable(peak.nuclear, nuclear) && !observable(peak.magnetic, magnetic) &&
        !observable(peak.xray, xray))
      continue;
    const double room = std::max(5.0, 3.0 * width.at(peak));
    low = std::min(low, peak.two_theta - room);
    high = std::max(high, peak.two_theta + room);
  }
  if (low > high) return {0.0, 180.0, kDefaultStep};  // no peak
  return {std::max(0.0, std::floor(low)), std::min(180.0, std::ceil(high)), kDefaultStep};
}

PowderPattern powder_pattern(const std::vector<PowderPeak>& peaks, const TwoThetaGrid& grid,
                             const PeakWidth& width, Remarks& remarks) {
  if (const double terms = profile_terms(peaks, grid, width); terms > kMostProfileTerms)
    fail_powder(std::to_string(peaks.size()) + " peaks of this width on " + std::to_string(grid.points()) +
                " points are " + limit_text(terms) + " terms to sum, beyond the " +
                limit_text(kMostProfileTerms) +
                " this program sums (use a coarser --two-theta step, a narrower range or narrower peaks)");
  const std::size_t n = grid.points();
  PowderPattern p;
  p.two_theta.resize(n);
  for (std::size_t i = 0; i < n; ++i) p.two_theta[i] = static_cast<float>(grid.at(i));
  p.nuclear.assign(n, 0.0f);
  p.magnetic.assign(n, 0.0f);
  p.xray.assign(n, 0.0f);

  double narrowest = INFINITY;
  std::vector<float> exponent, gauss;
  std::vector<double> x;
  if (width.tch) x.assign(p.two_theta.begin(), p.two_theta.end());
  for (const PowderPeak& peak : peaks) {
    const double fwhm = width.at(peak);
    narrowest = std::min(narrowest, fwhm);
    if (width.tch) {
      add_pseudo_voigt(peak, width.shape_at(peak), x, p);
      continue;
    }
    const double sigma = fwhm / kFwhmPerSigma;
    const double centre = peak.two_theta;
    const double first = std::ceil((centre - kTailSigmas * sigma - grid.from) / grid.step);
    const double last = std::floor((centre + kTailSigmas * sigma - grid.from) / grid.step);
    if (last < 0.0 || first > static_cast<double>(n - 1)) continue;
    const std::size_t i0 = static_cast<std::size_t>(std::max(first, 0.0));
    const std::size_t i1 = static_cast<std::size_t>(std::min(last, static_cast<double>(n - 1)));
    // Gaussian of unit area: exp(-(x - centre)^2 / (2 sigma^2)) / (sigma sqrt(2 pi)).
    exponent.resize(i1 - i0 + 1);
    gauss.resize(exponent.size());
    for (std::size_t i = i0; i <= i1; ++i) {
      const double x = grid.at(i) - centre;
      exponent[i - i0] = static_cast<float>(-(x * x) / (2.0 * sigma * sigma));
    }
    exp_f_many(exponent, gauss);
    const double height = 1.0 / (sigma * std::sqrt(2.0 * std::numbers::pi));
    for (std::size_t i = i0; i <= i1; ++i) {
      const double g = height * gauss[i - i0];
      p.nuclear[i] = accumulate(p.nuclear[i], peak.nuclear * g);
      p.magnetic[i] = accumulate(p.magnetic[i], peak.magnetic * g);
      p.xray[i] = accumulate(p.xray[i], peak.xray * g);
    }
  }
  p.total.resize(n);
  for (std::size_t i = 0; i < n; ++i) p.total[i] = accumulate(p.nuclear[i], p.magnetic[i]);
  if (narrowest < 3.0 * grid.step)
    remarks.warn("peaks as narrow as " + shortest_text(static_cast<float>(narrowest)) +
                 " degrees are drawn on steps of " + shortest_text(static_cast<float>(grid.step)) +
                 " degrees: the pattern under-samples them (use a step of a third of the width or less)");
  return p;
}

std::vector<PowderPeak> merged_peaks(std::vector<PowderPeak> peaks) {
  std::stable_sort(peaks.begin(), peaks.end(),
                   [](const PowderPeak& a, const PowderPeak& b) { return a.two_theta < b.two_theta; });
  std::vector<PowderPeak> merged;
  double nuclear = 0, magnetic = 0, xray = 0;
  const auto close = [&] {
    if (merged.empty()) return;
    merged.back().nuclear = static_cast<float>(nuclear);
    merged.back().magnetic = static_cast<float>(magnetic);
    merged.back().xray = static_cast<float>(xray);
  };
  for (const PowderPeak& peak : peaks) {
    if (merged.empty() || peak.two_theta - merged.back().two_theta > 1e-5f) {
      close();
      merged.push_back(peak);
      nuclear = magnetic = xray = 0;
    }
    nuclear += peak.nuclear, magnetic += peak.magnetic, xray += peak.xray;
  }
  close();
  return merged;
}

double intensity_of(const PowderPeak& peak, Intensity kind) {
  return kind == Intensity::xray ? static_cast<double>(peak.xray)
                                 : static_cast<double>(peak.nuclear) + static_cast<double>(peak.magnetic);
}

std::vector<double> pattern_at(const std::vector<PowderPeak>& peaks, const PeakWidth& width, Intensity kind,
                               const std::vector<double>& x, double shift) {
  std::vector<double> y(x.size(), 0.0);
  for (const PowderPeak& peak : peaks) {
    const double area = intensity_of(peak, kind);
    if (area == 0.0) continue;
    const PeakShape shape = width.shape_at(peak);
    const double centre = peak.two_theta + shift;
    const auto [first, last] = points_within(x, centre, shape_reach(shape));
    add_profile(shape, centre, area, x, first, last, y);
  }
  return y;
}

}  // namespace velmora::powder
