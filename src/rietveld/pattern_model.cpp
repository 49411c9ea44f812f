// Each peak's position from Bragg's law on the refined cell and wavelength,
// 2theta_obs = 2theta + zero + displacement cos theta + transparency sin 2theta
// (a flat sample off the diffractometer's axis moves peaks as cos theta, a
// beam reaching into the sample as sin 2theta: Klug & Alexander, X-ray
// Diffraction Procedures, 2nd ed., 1974, ch. 5), its area the scale times
// |F|^2 times the Lorentz(-polarisation) factor and a cylinder's transmission,
// as velmora-powder's peaks have it, its shape the pseudo-Voigt of Thompson, Cox & Hastings (1987)
// times the asymmetry factor of Berar & Baldinozzi, J. Appl. Cryst. 26 (1993)
// 128: 1 + (P1 Fa(z) + P2 Fb(z)) / tan theta + (P3 Fa(z) + P4 Fb(z)) / tan 2theta,
// z = (2theta - centre) / FWHM, Fa(z) = 2 z exp(-z^2), Fb(z) = 2 (2 z^2 - 3) Fa(z):
// odd functions of z that move intensity from one side of a peak to the other,
// most at low angles (and, through 1 / tan 2theta, at high angles the other way),
// as the axial divergence of the beam does. All P = 0 leave the peak symmetric.
// The axial divergence itself, S/L and H/L above 0, spreads each peak over
// the angles below its Bragg angle (above it beyond 90 degrees) as Finger,
// Cox & Jephcoat, J. Appl. Cryst. 27 (1994) 892, have it: the profile is a
// weighted sum of copies of itself placed at the kernel's nodes.
#include "rietveld/pattern_model.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <optional>

#include "absorption/cylinder_absorption.hpp"
#include "powder/chebyshev.hpp"
#include "powder/peak_shape.hpp"
#include "powder/powder_profile.hpp"
#include "rietveld/axial_divergence.hpp"
#include "rietveld/profile_derivatives.hpp"

namespace velmora::rietveld {
namespace {

constexpr double kRadian = std::numbers::pi / 180.0;
constexpr double kDegree = 180.0 / std::numbers::pi;

using Metric = std::array<double, 6>;  // G*11 G*22 G*33 G*12 G*13 G*23

// The reciprocal metric tensor, the inverse of the direct one.
Metric reciprocal_metric(std::span<const double, 6> cell) {
  const double a = cell[0], b = cell[1], c = cell[2];
  const double ca = std::cos(cell[3] * kRadian), cb = std::cos(cell[4] * kRadian),
               cg = std::cos(cell[5] * kRadian);
  const double g11 = a * a, g22 = b * b, g33 = c * c, g12 = a * b * cg, g13 = a * c * cb, g23 = b * c * ca;
  const double c11 = g22 * g33 - g23 * g23, c22 = g11 * g33 - g13 * g13, c33 = g11 * g22 - g12 * g12;
  const double c12 = g13 * g23 - g12 * g33, c13 = g12 * g23 - g13 * g22, c23 = g12 * g13 - g11 * g23;
  const double det = g11 * c11 + g12 * c12 + g13 * c13;
  return {c11 / det, c22 / det, c33 / det, c12 / det, c13 / det, c23 / det};
}

double inverse_d_squared(const Metric& m, const std::array<double, 3>& h) {
  return m[0] * h[0] * h[0] + m[1] * h[1] * h[1] + m[2] * h[2] * h[2] +
         2 * (m[3] * h[0] * h[1] + m[4] * h[0] * h[2] + m[5] * h[1] * h[2]);
}

// d(1/d^2) by a b c (per angstrom) and alpha beta gamma (per degree): with
// G* the inverse of the direct metric G and u = G* h, 1/d^2 = h.G*.h moves by
// -u.(dG/dp).u.
std::array<double, 6> inverse_d_squared_by_cell(std::span<const double, 6> cell, const Metric& m,
                                                const std::array<double, 3>& h) {
  const std::array<double, 3> u = {m[0] * h[0] + m[3] * h[1] + m[4] * h[2],
                                   m[3] * h[0] + m[1] * h[1] + m[5] * h[2],
                                   m[4] * h[0] + m[5] * h[1] + m[2] * h[2]};
  const double a = cell[0], b = cell[1], c = cell[2];
  const double ca = std::cos(cell[3] * kRadian), cb = std::cos(cell[4] * kRadian),
               cg = std::cos(cell[5] * kRadian);
  const double sa = std::sin(cell[3] * kRadian), sb = std::sin(cell[4] * kRadian),
               sg = std::sin(cell[5] * kRadian);
  return {-2 * u[0] * (a * u[0] + b * cg * u[1] + c * cb * u[2]),
          -2 * u[1] * (b * u[1] + a * cg * u[0] + c * ca * u[2]),
          -2 * u[2] * (c * u[2] + a * cb * u[0] + b * ca * u[1]),
          2 * u[1] * u[2] * b * c * sa * kRadian,
          2 * u[0] * u[2] * a * c * sb * kRadian,
          2 * u[0] * u[1] * a * b * sg * kRadian};
}

// 1/d^2 at the cell and at the cell moved along each free parameter, ties
// followed: reflections equal in all of them stay together however the cell
// is refined.
std::vector<Metric> probe_metrics(const CellParameters& cell, const CellFreedom& freedom) {
  std::vector<Metric> probes{reciprocal_metric(cell)};
  for (std::size_t k = 0; k < 6; ++k) {
    if (freedom.kind[k] != CellFreedom::Kind::free) continue;
    CellParameters moved = cell;
    const double change = k < 3 ? 0.007 * cell[k] : 0.7;
    moved[k] += change;
    for (std::size_t j = 0; j < 6; ++j)
      if (freedom.kind[j] == CellFreedom::Kind::tied) moved[j] += freedom.follows[j][k] * change;
    probes.push_back(reciprocal_metric(moved));
  }
  return probes;
}

}  // namespace

std::vector<Reflection> distinct_reflections(const std::vector<powder::PowderPeak>& peaks) {
  std::vector<Reflection> hkl;
  for (const powder::PowderPeak& p : peaks) hkl.push_back(p.h);
  std::sort(hkl.begin(), hkl.end());
  hkl.erase(std::unique(hkl.begin(), hkl.end()), hkl.end());
  return hkl;
}

std::vector<PeakGroup> peak_groups(const std::vector<powder::PowderPeak>& peaks, bool xray,
                                   const CellParameters& cell, const CellFreedom& freedom,
                                   const std::vector<double>& lines) {
  // Each h k l once, whichever lines list it: its weight at each line, the
  // first line's where it has one (a peak's line is the one of its wavelength).
  const std::size_t n = std::max<std::size_t>(lines.size(), 1);
  std::map<Reflection, std::vector<std::optional<double>>> weights;
  for (const powder::PowderPeak& p : peaks) {
    std::size_t line = 0;
    while (line < lines.size() && static_cast<float>(lines[line]) != p.wavelength) ++line;
    if (line == lines.size()) line = 0;
    auto& at = weights.try_emplace(p.h, n).first->second;
    if (!at[line])
      at[line] = xray ? static_cast<double>(p.fx_squared)
                      : static_cast<double>(p.fn_squared) + static_cast<double>(p.fm_squared);
  }
  // (a map's order is the sorted order of distinct_reflections)
  const std::vector<Metric> probes = probe_metrics(cell, freedom);
  struct Keyed {
    std::vector<double> key;
    PeakGroup group;
    std::vector<double> each;  // the weight at each line
  };
  std::vector<Keyed> keyed;
  std::size_t index = 0;
  for (const auto& [h, at] : weights) {
    const std::array<double, 3> hd{h[0], h[1], h[2]};
    const auto first = std::find_if(at.begin(), at.end(), [](const auto& w) { return w.has_value(); });
    Keyed k{{}, {hd, **first, 1, {index++}, {}}, {}};
    for (const auto& w : at) k.each.push_back(w.value_or(**first));
    for (const Metric& m : probes) k.key.push_back(inverse_d_squared(m, hd));
    keyed.push_back(std::move(k));
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
  const auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
      if (std::abs(a[i] - b[i]) > 1e-9 * std::max(std::abs(a[i]), std::abs(b[i]))) return false;
    return true;
  };
  std::vector<PeakGroup> groups;
  std::vector<std::vector<double>> each;  // each group's weight at each line
  const std::vector<double>* last = nullptr;
  for (const Keyed& k : keyed) {
    if (last != nullptr && same(*last, k.key)) {
      groups.back().weight += k.group.weight;
      ++groups.back().members;
      groups.back().reflections.push_back(k.group.reflections.front());
      for (std::size_t l = 0; l < n; ++l) each.back()[l] += k.each[l];
    } else {
      groups.push_back(k.group);
      each.push_back(k.each);
    }
    last = &k.key;
  }
  for (std::size_t g = 0; g < groups.size(); ++g)
    if (groups[g].weight > 0 &&
        std::any_of(each[g].begin(), each[g].end(), [&](double w) { return w != groups[g].weight; }))
      for (double w : each[g]) groups[g].line_shares.push_back(w / groups[g].weight);
  return groups;
}

PatternModel::PatternModel(PatternSetup setup) : setup_(std::move(setup)) {
  const double low = setup_.x.front(), high = setup_.x.back();
  for (double x : setup_.x) {
    const double u = high > low ? (2.0 * x - low - high) / (high - low) : 0.0;
    chebyshev_.push_back(powder::chebyshev_terms(u, setup_.background_terms));
  }
}

namespace {

// One peak of one line at the parameters: centre, area without the scale,
// shape, and how the centre moves with zero, displacement and transparency
// and the width and Lorentzian fraction with U V W X Y.
struct PlacedPeak {
  double centre = 0, area = 0;
  double area_per_weight = 0;  // the line's ratio times the Lorentz(-polarisation) and absorption factors
  powder::PeakShape shape;
  std::array<double, 3> centre_by{};  // zero, displacement, transparency
  std::array<double, 5> fwhm_by{}, eta_by{};
  // The asymmetry's multipliers of Fa and of Fb, and each P's factor on them
  // (P1 and P2 by 1 / tan theta, P3 and P4 by 1 / tan 2theta).
  double on_fa = 0, on_fb = 0;
  std::array<double, 2> asymmetry_by{};
  // How the peak changes with its Bragg angle theta (radian), through which
  // the cell and the wavelength act: its centre, the logarithm of its area,
  // its width, its fraction and the asymmetry's multipliers; and theta by
  // 1/d^2 and by the wavelength.
  struct {
    double centre = 0, log_area = 0, fwhm = 0, eta = 0, on_fa = 0, on_fb = 0;
  } by_theta;
  double theta_by_q = 0, theta_by_wavelength = 0;
  // The axial divergence's nodes (none: no divergence) and their farthest offset.
  std::vector<AxialNode> nodes;
  double spread = 0;
};

// Fa and Fb at z with their derivatives by z; nought beyond six widths, where
// they fall below 1e-14.
constexpr double kLeaningReach = 6;
struct Leaning {
  double fa = 0, fb = 0, fa_by_z = 0, fb_by_z = 0;
};

Leaning leaning_at(double z) {
  if (std::abs(z) > kLeaningReach) return {};
  const double e = std::exp(-z * z), z2 = z * z;
  return {2 * z * e, (8 * z2 - 12) * z * e, 2 * (1 - 2 * z2) * e, (-16 * z2 * z2 + 48 * z2 - 12) * e};
}

// The asymmetry factor of a placed peak at dx from its centre.
double asymmetry_factor(const PlacedPeak& peak, double dx) {
  if (peak.on_fa == 0 && peak.on_fb == 0) return 1;
  const Leaning f = leaning_at(dx / peak.shape.fwhm);
  return 1 + peak.on_fa * f.fa + peak.on_fb * f.fb;
}

// Beyond six widths of its centre a peak is its Lorentzian part alone: the
// Gaussian ends at six sigma, the leaning at six widths. Those tails, some 200
// widths each side, are most of the points a pattern's peaks touch, so they
// are summed apart from the core (add_profile, which keeps every value to the
// last bit) and their derivatives take the Lorentzian's alone.
constexpr double kCoreWidths = 6 * (1 + 1e-9);

// The derivatives stop at 40 widths, where the values go on to 200: what a
// Lorentzian's tail adds beyond is below 1e-5 of each column's sum of squares
// and changes the refined values by less than the convergence leaves them
// (1e-3 of an esd), at a fifth of the cost.
constexpr double kDerivativeWidths = 40;

// The points of [first, last) within the core of a peak, where its Gaussian and its leaning act.
std::pair<std::size_t, std::size_t> core_of(const std::vector<double>& x, std::size_t first, std::size_t last,
                                            double centre, double fwhm) {
  const double reach = kCoreWidths * fwhm;
  const auto begin = x.begin() + static_cast<std::ptrdiff_t>(first),
             end = x.begin() + static_cast<std::ptrdiff_t>(last);
  const auto low = std::lower_bound(begin, end, centre - reach);
  const auto high = std::upper_bound(low, end, centre + reach);
  return {static_cast<std::size_t>(low - x.begin()), static_cast<std::size_t>(high - x.begin())};
}

// The peak at dx from its centre, of unit area: its profile, leaned and spread.
double peak_value(const PlacedPeak& peak, double dx) {
  if (peak.nodes.empty()) return powder::profile_at(peak.shape, dx) * asymmetry_factor(peak, dx);
  double sum = 0;
  for (const AxialNode& node : peak.nodes)
    sum += node.weight * profile_with_derivatives(peak.shape, dx - node.offset, false).value *
           asymmetry_factor(peak, dx - node.offset);
  return sum;
}

// counts: the axial kernel's node counts for this peak, set from the width at
// the first placing and held after (none: no kernel, for the ticks).
bool place(std::span<const double> p, const PatternSetup& s, const Metric& metric, const PeakGroup& g,
           std::size_t l, PlacedPeak& peak, std::optional<AxialCounts>* counts = nullptr) {
  const LineOfSource& line = s.lines[l];
  const double q = inverse_d_squared(metric, g.h);
  const double sin_theta = p[ParameterIndex::wavelength] * line.factor * std::sqrt(q) / 2;
  if (!(sin_theta > 0 && sin_theta < 1)) return false;
  const double theta = std::asin(sin_theta);
  const double cos_theta = std::cos(theta), tan_theta = sin_theta / cos_theta;
  const double cos_two_theta = 1 - 2 * sin_theta * sin_theta;
  double lp = 1 / (sin_theta * sin_theta * cos_theta);
  // d ln(1 / (sin^2 cos)) / d theta, and the polarisation's part
  peak.by_theta.log_area = -2 * cos_theta / sin_theta + tan_theta;
  if (s.xray) {
    const double factor = s.polarisation.factor(cos_two_theta);
    lp *= factor;
    const double perpendicular = s.polarisation.perpendicular;
    peak.by_theta.log_area += (1 - perpendicular) * 2 * cos_two_theta * (-4 * sin_theta * cos_theta) / factor;
  }
  if (s.mu_r > 0) {
    lp *= cylinder_transmission(s.mu_r, theta);
    peak.by_theta.log_area += cylinder_transmission_slope(s.mu_r, theta);
  }
  peak.theta_by_q = sin_theta / (2 * q * cos_theta);
  peak.theta_by_wavelength = sin_theta / (p[ParameterIndex::wavelength] * cos_theta);
  peak.centre = 2 * theta * kDegree + p[ParameterIndex::zero] + p[ParameterIndex::displacement] * cos_theta +
                p[ParameterIndex::transparency] * 2 * sin_theta * cos_theta;
  peak.area_per_weight = line.ratio * g.share(l) * lp;
  peak.area = peak.area_per_weight * g.weight;
  peak.centre_by = {1.0, cos_theta, 2 * sin_theta * cos_theta};
  const double sin_two_theta = 2 * sin_theta * cos_theta;
  peak.asymmetry_by = {cos_theta / sin_theta, cos_two_theta / sin_two_theta};
  const std::size_t a = ParameterIndex::asymmetry;
  peak.on_fa = p[a] * peak.asymmetry_by[0] + p[a + 2] * peak.asymmetry_by[1];
  peak.on_fb = p[a + 1] * peak.asymmetry_by[0] + p[a + 3] * peak.asymmetry_by[1];
  peak.by_theta.centre = 2 * kDegree - p[ParameterIndex::displacement] * sin_theta +
                         p[ParameterIndex::transparency] * 2 * cos_two_theta;
  // d cot theta / d theta = -1 / sin^2 theta, d cot 2theta / d theta = -2 / sin^2 2theta
  const double cot_by = -1 / (sin_theta * sin_theta), cot_two_by = -2 / (sin_two_theta * sin_two_theta);
  peak.by_theta.on_fa = p[a] * cot_by + p[a + 2] * cot_two_by;
  peak.by_theta.on_fb = p[a + 1] * cot_by + p[a + 3] * cot_two_by;
  const double tan_by = 1 + tan_theta * tan_theta;  // d tan theta / d theta
  const std::size_t w = ParameterIndex::profile;
  const double gaussian_squared = p[w] * tan_theta * tan_theta + p[w + 1] * tan_theta + p[w + 2];
  const double floor = powder::kNarrowestFwhm * powder::kNarrowestFwhm;
  const double gaussian = std::sqrt(std::max(gaussian_squared, floor));
  // g = sqrt(U t^2 + V t + W), l = X t + Y / cos theta; no change below the narrowest width
  std::array<double, 5> g_by{}, l_by{};
  double g_by_theta = 0, l_by_theta = 0;
  if (gaussian_squared > floor) {
    g_by = {tan_theta * tan_theta / (2 * gaussian), tan_theta / (2 * gaussian), 1 / (2 * gaussian), 0, 0};
    g_by_theta = (2 * p[w] * tan_theta + p[w + 1]) * tan_by / (2 * gaussian);
  }
  if (s.pseudo_voigt) {
    const double raw = p[w + 3] * tan_theta + p[w + 4] / cos_theta;
    const TchDerivatives tch = tch_with_derivatives(gaussian, std::max(raw, 0.0));
    if (raw >= 0) {
      l_by = {0, 0, 0, tan_theta, 1 / cos_theta};
      l_by_theta = p[w + 3] * tan_by + p[w + 4] * tan_theta / cos_theta;
    }
    peak.shape = tch.shape;
    for (std::size_t k = 0; k < 5; ++k) {
      peak.fwhm_by[k] = tch.fwhm_by_g * g_by[k] + tch.fwhm_by_l * l_by[k];
      peak.eta_by[k] = tch.eta_by_g * g_by[k] + tch.eta_by_l * l_by[k];
    }
    peak.by_theta.fwhm = tch.fwhm_by_g * g_by_theta + tch.fwhm_by_l * l_by_theta;
    peak.by_theta.eta = tch.eta_by_g * g_by_theta + tch.eta_by_l * l_by_theta;
  } else {
    peak.shape = {gaussian, 0.0};
    peak.fwhm_by = g_by;
    peak.by_theta.fwhm = g_by_theta;
  }
  const double s_l = p[ParameterIndex::axial], h_l = p[ParameterIndex::axial + 1];
  if ((s_l > 0 || h_l > 0) && counts != nullptr) {
    if (!*counts) *counts = axial_counts(2 * theta * kDegree, s_l, h_l, peak.shape.fwhm);
    if ((*counts)->inner > 0 || (*counts)->outer > 0)
      peak.nodes = axial_nodes(2 * theta * kDegree, s_l, h_l, **counts);
    for (const AxialNode& node : peak.nodes) peak.spread = std::max(peak.spread, std::abs(node.offset));
  }
  return true;
}

}  // namespace

std::vector<double> PatternModel::group_weights(std::span<const double> v) {
  const std::vector<double> each = setup_.structure->at(v);
  std::vector<double> weights;
  for (const PeakGroup& g : setup_.groups) {
    double sum = 0;
    for (std::size_t r : g.reflections) sum += each[r];
    weights.push_back(sum);
  }
  return weights;
}

void PatternModel::set_structure(std::span<const double> p) {
  if (!setup_.structure) return;
  const std::span<const double> v = p.subspan(structure_first(), structure_size());
  if (std::equal(v.begin(), v.end(), structure_at_.begin(), structure_at_.end())) return;
  const std::vector<double> weights = group_weights(v);
  for (std::size_t k = 0; k < setup_.groups.size(); ++k) setup_.groups[k].weight = weights[k];
  structure_at_.assign(v.begin(), v.end());
}

void PatternModel::calculate(std::span<const double> p, std::span<double> y) {
  set_structure(p);
  const Metric metric = reciprocal_metric(p.subspan<ParameterIndex::cell, 6>());
  peaks_.assign(setup_.x.size(), 0.0);
  axial_counts_.resize(setup_.groups.size() * setup_.lines.size());
  for (std::size_t k = 0; k < setup_.groups.size(); ++k)
    for (std::size_t l = 0; l < setup_.lines.size(); ++l) {
      PlacedPeak peak;
      if (!place(p, setup_, metric, setup_.groups[k], l, peak, &axial_counts_[k * setup_.lines.size() + l]) ||
          peak.area == 0)
        continue;
      const double reach = powder::shape_reach(peak.shape);
      if (!peak.nodes.empty()) {
        const auto [first, last] = powder::points_within(setup_.x, peak.centre, reach + peak.spread);
        for (std::size_t i = first; i < last; ++i)
          peaks_[i] += peak.area * peak_value(peak, setup_.x[i] - peak.centre);
        continue;
      }
      const auto [first, last] = powder::points_within(setup_.x, peak.centre, reach);
      const auto [core_first, core_last] = core_of(setup_.x, first, last, peak.centre, peak.shape.fwhm);
      powder::add_profile(peak.shape, peak.centre, peak.area, setup_.x, first, core_first, peaks_);
      for (std::size_t i = core_first; i < core_last; ++i)
        peaks_[i] += peak.area * powder::profile_at(peak.shape, setup_.x[i] - peak.centre) *
                     asymmetry_factor(peak, setup_.x[i] - peak.centre);
      powder::add_profile(peak.shape, peak.centre, peak.area, setup_.x, core_last, last, peaks_);
    }
  peaks_at_.assign(p.begin(), p.end());
  const std::vector<double> b = background(p);
  for (std::size_t i = 0; i < y.size(); ++i) y[i] = p[ParameterIndex::scale] * peaks_[i] + b[i];
}

std::vector<double> PatternModel::background(std::span<const double> p) const {
  std::vector<double> b(setup_.x.size(), 0.0);
  for (std::size_t i = 0; i < b.size(); ++i)
    for (int t = 0; t < setup_.background_terms; ++t)
      b[i] += p[ParameterIndex::background + static_cast<std::size_t>(t)] *
              chebyshev_[i][static_cast<std::size_t>(t)];
  return b;
}

std::vector<double> PatternModel::le_bail_ratios(std::span<const double> p,
                                                 std::span<const double> net_observed,
                                                 std::span<const double> net_calculated) const {
  const Metric metric = reciprocal_metric(p.subspan<ParameterIndex::cell, 6>());
  std::vector<double> ratios(setup_.groups.size(), 1.0);
  for (std::size_t k = 0; k < setup_.groups.size(); ++k) {
    double shared = 0, own = 0;
    for (std::size_t l = 0; l < setup_.lines.size(); ++l) {
      PlacedPeak peak;
      std::optional<AxialCounts> counts;
      if (k * setup_.lines.size() + l < axial_counts_.size())
        counts = axial_counts_[k * setup_.lines.size() + l];
      if (!place(p, setup_, metric, setup_.groups[k], l, peak, &counts) || peak.area == 0) continue;
      const double area = p[ParameterIndex::scale] * peak.area;
      const auto [first, last] =
          powder::points_within(setup_.x, peak.centre, powder::shape_reach(peak.shape) + peak.spread);
      for (std::size_t i = first; i < last; ++i) {
        const double dx = setup_.x[i] - peak.centre;
        if (!(net_calculated[i] > 0)) continue;
        const double part = area * peak_value(peak, dx);
        own += part;
        shared += part * net_observed[i] / net_calculated[i];
      }
    }
    if (own > 0) ratios[k] = std::max(shared / own, 0.0);
  }
  return ratios;
}

void PatternModel::set_weights(std::span<const double> weights) {
  for (std::size_t k = 0; k < setup_.groups.size(); ++k) setup_.groups[k].weight = weights[k];
  peaks_at_.clear();  // the peaks last calculated are no longer the model's
}

std::vector<std::pair<std::size_t, double>> PatternModel::positions(std::span<const double> p) const {
  const Metric metric = reciprocal_metric(p.subspan<ParameterIndex::cell, 6>());
  std::vector<std::pair<std::size_t, double>> centres;
  for (std::size_t k = 0; k < setup_.groups.size(); ++k)
    if (PlacedPeak peak; place(p, setup_, metric, setup_.groups[k], 0, peak))
      centres.emplace_back(k, peak.centre);
  return centres;
}

// The pattern is linear in the scale and the background coefficients; the
// shifts and the widths act through each peak's centre, width and fraction,
// the cell and the wavelength through its Bragg angle, on all of them at once.
// The structure acts through the peaks' weights alone, in which the pattern
// is linear: a structure column is the pattern of the weights' derivatives,
// those by central differences of the weights.
bool PatternModel::analytic(std::size_t) const { return true; }

void PatternModel::derivatives(std::span<const double> p, std::span<const double>,
                               std::span<const std::size_t> columns, Eigen::Ref<Eigen::MatrixXd> d) {
  if (!std::equal(p.begin(), p.end(), peaks_at_.begin(), peaks_at_.end())) {
    std::vector<double> y(setup_.x.size());
    calculate(p, y);
  }
  // Which columns ask for a peak's centre (0..2), shape (3..7), asymmetry
  // (8..11), Bragg angle (12 the wavelength, 13..18 the cell), axial
  // divergence (19, 20) or weight (21 on, the structure) derivative.
  constexpr std::size_t kByWeight = 21;
  std::vector<std::pair<std::size_t, std::size_t>> through_peaks;
  std::vector<std::vector<double>> weights_by;  // each structure column's derivatives of the groups' weights
  bool leaning = false;                         // an asymmetry column is asked for
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::size_t j = columns[c];
    const auto column = static_cast<Eigen::Index>(c);
    if (setup_.structure && j >= structure_first()) {
      d.col(column).setZero();
      const std::size_t m = j - structure_first();
      std::vector<double> v(p.begin() + static_cast<std::ptrdiff_t>(structure_first()),
                            p.begin() + static_cast<std::ptrdiff_t>(structure_first() + structure_size()));
      const double h = setup_.structure->structure().step(m), value = v[m];
      v[m] = value + h;
      const std::vector<double> up = group_weights(v);
      v[m] = value - h;
      std::vector<double> by = group_weights(v);
      // A difference within the single-precision rounding of the weights (a
      // millionth of the strongest) is none: at a special position the
      // derivatives vanish, and their rounding must not pass for a signal.
      const double strongest =
          std::max(*std::max_element(up.begin(), up.end()), *std::max_element(by.begin(), by.end()));
      for (std::size_t g = 0; g < by.size(); ++g)
        by[g] = std::abs(up[g] - by[g]) <= 1e-6 * strongest ? 0.0 : (up[g] - by[g]) / (2 * h);
      through_peaks.emplace_back(c, kByWeight + weights_by.size());
      weights_by.push_back(std::move(by));
    } else if (j == ParameterIndex::scale) {
      for (std::size_t i = 0; i < peaks_.size(); ++i) d(static_cast<Eigen::Index>(i), column) = peaks_[i];
    } else if (j >= ParameterIndex::background) {
      for (std::size_t i = 0; i < peaks_.size(); ++i)
        d(static_cast<Eigen::Index>(i), column) = chebyshev_[i][j - ParameterIndex::background];
    } else {
      d.col(column).setZero();
      std::size_t k = 3 + j - ParameterIndex::profile;
      if (j < ParameterIndex::wavelength)
        k = j - ParameterIndex::zero;
      else if (j == ParameterIndex::wavelength)
        k = 12;
      else if (j < ParameterIndex::profile)
        k = 13 + j - ParameterIndex::cell;
      else if (j >= ParameterIndex::axial)
        k = 19 + j - ParameterIndex::axial;
      through_peaks.emplace_back(c, k);
      if (j >= ParameterIndex::asymmetry && j < ParameterIndex::axial) leaning = true;
    }
  }
  if (through_peaks.empty()) return;
  const auto cell = p.subspan<ParameterIndex::cell, 6>();
  const Metric metric = reciprocal_metric(cell);
  const double scale = p[ParameterIndex::scale];
  std::array<std::vector<double>, 9> terms;
  std::vector<double> by_theta;
  for (std::size_t group = 0; group < setup_.groups.size(); ++group) {
    const PeakGroup& g = setup_.groups[group];
    const std::array<double, 6> q_by_cell = inverse_d_squared_by_cell(cell, metric, g.h);
    for (std::size_t l = 0; l < setup_.lines.size(); ++l) {
      PlacedPeak peak;
      if (!place(p, setup_, metric, g, l, peak, &axial_counts_[group * setup_.lines.size() + l]) ||
          (peak.area == 0 && weights_by.empty()))
        continue;
      const double area = scale * peak.area;
      // theta by each column through the Bragg angle
      std::array<double, 7> theta_by{peak.theta_by_wavelength};
      for (std::size_t k = 0; k < 6; ++k) theta_by[1 + k] = peak.theta_by_q * q_by_cell[k];
      // A Lorentzian part that may grow from none reaches as far as one.
      powder::PeakShape reach = peak.shape;
      if (setup_.pseudo_voigt) reach.eta = std::max(reach.eta, std::numeric_limits<double>::min());
      const double derivative_reach =
          std::min(powder::shape_reach(reach), kDerivativeWidths * peak.shape.fwhm);
      const auto [first, last] = powder::points_within(setup_.x, peak.centre, derivative_reach + peak.spread);
      const bool leaned = leaning || peak.on_fa != 0 || peak.on_fb != 0 || peak.by_theta.on_fa != 0 ||
                          peak.by_theta.on_fb != 0;
      // Every column is, point by point, one combination of the same six
      // quantities of the leaned profile: its derivatives by dx, by the width
      // and by the fraction, and the profile times Fa, times Fb and times the
      // asymmetry factor. They are gathered first, then each column is
      // written down its contiguous run of points.
      const std::size_t n = last - first;
      for (auto& q : terms) q.assign(n, 0.0);
      const auto [core_first, core_last] = core_of(setup_.x, first, last, peak.centre, peak.shape.fwhm);
      // The leaned profile's six quantities at dx from the centre.
      const auto leaned_at = [&](double dx) {
        ProfileValue v = profile_with_derivatives(peak.shape, dx, peak.nodes.empty());
        // The profile times the asymmetry factor A(z), z = dx / FWHM: A moves
        // with dx and with the width through z.
        Leaning f;
        double factor = 1;
        if (leaned) {
          const double fwhm = peak.shape.fwhm, z = dx / fwhm;
          f = leaning_at(z);
          factor = 1 + peak.on_fa * f.fa + peak.on_fb * f.fb;
          const double factor_by_z = peak.on_fa * f.fa_by_z + peak.on_fb * f.fb_by_z;
          v.by_dx = v.by_dx * factor + v.value * factor_by_z / fwhm;
          v.by_fwhm = v.by_fwhm * factor - v.value * factor_by_z * z / fwhm;
          v.by_eta *= factor;
        }
        return std::array<double, 6>{v.by_dx,        v.by_fwhm,      v.by_eta,
                                     v.value * f.fa, v.value * f.fb, v.value * factor};
      };
      if (!peak.nodes.empty()) {
        // A spread peak: each quantity the weighted sum over the nodes, and
        // by S/L, H/L and the Bragg angle, which move the nodes and their weights,
        // sum of (d weight) value - weight (d offset) d value / d dx.
        for (std::size_t at = 0; at < n; ++at) {
          const double dx = setup_.x[first + at] - peak.centre;
          for (const AxialNode& node : peak.nodes) {
            const std::array<double, 6> v = leaned_at(dx - node.offset);
            for (std::size_t m = 0; m < 6; ++m) terms[m][at] += node.weight * v[m];
            for (std::size_t m = 0; m < 3; ++m)
              terms[6 + m][at] += node.weight_by[m == 2 ? 0 : m + 1] * v[5] -
                                  node.weight * node.offset_by[m == 2 ? 0 : m + 1] * v[0];
          }
        }
      } else {
        for (std::size_t i = core_first; i < core_last; ++i) {
          const std::array<double, 6> v = leaned_at(setup_.x[i] - peak.centre);
          for (std::size_t m = 0; m < 6; ++m) terms[m][i - first] = v[m];
        }
        // In the tails the Lorentzian part alone, L = (Gamma / 2) / (pi (dx^2 + Gamma^2 / 4)):
        // d L / d dx = -2 dx L / (dx^2 + Gamma^2 / 4), d L / d Gamma = (dx^2 - Gamma^2 / 4) / (2 pi (dx^2 +
        // Gamma^2 / 4)^2).
        const double eta = peak.shape.eta, half = peak.shape.fwhm / 2.0, half_squared = half * half;
        const auto tail = [&](std::size_t from, std::size_t to) {
          for (std::size_t at = from - first; at < to - first; ++at) {
            const double dx = setup_.x[first + at] - peak.centre;
            const double inverse = 1.0 / (dx * dx + half_squared);
            const double lorentz = half * inverse / std::numbers::pi;
            terms[0][at] = -2.0 * eta * dx * lorentz * inverse;
            terms[1][at] = eta * (dx * dx - half_squared) * inverse * inverse / (2.0 * std::numbers::pi);
            terms[2][at] = lorentz;
            terms[5][at] = eta * lorentz;
          }
        };
        tail(first, core_first);
        tail(core_last, last);
      }
      // What the Bragg angle changes, once for all the columns that act through it.
      bool through_theta = false;
      for (const auto& [c, k] : through_peaks) through_theta = through_theta || (k >= 12 && k < 19);
      if (through_theta) {
        // (the axial kernel by 2theta in degrees: 2 / radian per theta)
        const std::array<double, 7> w = {-area * peak.by_theta.centre,
                                         area * peak.by_theta.fwhm,
                                         area * peak.by_theta.eta,
                                         area * peak.by_theta.on_fa,
                                         area * peak.by_theta.on_fb,
                                         area * peak.by_theta.log_area,
                                         area * 2 * kDegree};
        by_theta.resize(n);
        for (std::size_t at = 0; at < n; ++at)
          by_theta[at] = w[0] * terms[0][at] + w[1] * terms[1][at] + w[2] * terms[2][at] +
                         w[3] * terms[3][at] + w[4] * terms[4][at] + w[5] * terms[5][at] +
                         w[6] * terms[8][at];
      }
      for (const auto& [c, k] : through_peaks) {
        double* column = d.col(static_cast<Eigen::Index>(c)).data() + first;
        if (k < 3) {
          const double w = -area * peak.centre_by[k];
          for (std::size_t at = 0; at < n; ++at) column[at] += w * terms[0][at];
        } else if (k < 8) {
          const double w1 = area * peak.fwhm_by[k - 3], w2 = area * peak.eta_by[k - 3];
          for (std::size_t at = 0; at < n; ++at) column[at] += w1 * terms[1][at] + w2 * terms[2][at];
        } else if (k < 12) {  // P1 P2 P3 P4: Fa, Fb by 1 / tan theta, then by 1 / tan 2theta; where they lean
          const double w = area * peak.asymmetry_by[(k - 8) / 2];
          const auto& term = terms[(k - 8) % 2 == 0 ? 3 : 4];
          const std::size_t from = peak.nodes.empty() ? core_first - first : 0;
          const std::size_t to = peak.nodes.empty() ? core_last - first : n;
          for (std::size_t at = from; at < to; ++at) column[at] += w * term[at];
        } else if (k < 19) {
          const double t = theta_by[k - 12];
          for (std::size_t at = 0; at < n; ++at) column[at] += t * by_theta[at];
        } else if (k < kByWeight) {
          const auto& term = terms[6 + k - 19];
          for (std::size_t at = 0; at < n; ++at) column[at] += area * term[at];
        } else {
          const double w = scale * peak.area_per_weight * weights_by[k - kByWeight][group];
          if (w == 0) continue;
          for (std::size_t at = 0; at < n; ++at) column[at] += w * terms[5][at];
        }
      }
    }
  }
}

}  // namespace velmora::rietveld
