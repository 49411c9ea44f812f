// Least squares by variable projection: for a given zero shift the model is
// linear in the scales (one a phase) and the background coefficients, solved with Eigen's
// column-pivoting QR on the weighted design matrix; the zero shift, the one
// non-linear parameter, is found by a scan at a quarter of the narrowest peak
// width followed by a golden-section search of the best interval. The search
// shifts a finely sampled copy of the pattern instead of recomputing every
// peak at every trial shift, which keeps it to a fraction of a second. A point
// left out of the fit has weight 0: its row of the design matrix is zero.
#include "powder/pattern_fit.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "powder/number_text.hpp"
#include "powder/powder_error.hpp"

#ifdef VELMORA_POWDER_FIT
#include <Eigen/Dense>

namespace velmora::powder {
namespace {

// Whether point i is left out of the fit (excluded empty: none is).
bool left_out(const std::vector<bool>& excluded, std::size_t i) { return !excluded.empty() && excluded[i]; }

struct LinearFit {
  double chi_squared = INFINITY;  // sum of w (y_obs - y_calc)^2
  Eigen::VectorXd coefficients;   // the phases' scales, then the background terms
};

// The weighted linear least squares of the phases' scales and the background's
// terms at one trial shift, by its normal equations: the background's part of
// them is the same at every shift and made once, each phase's part in one pass
// over the points, so the search keeps nothing a point beyond the pattern's
// own arrays, not a design matrix and its factorisation (a 10^7-point
// pattern fits in well under a gigabyte). The columns are scaled to unit length before
// the small system is solved, and chi^2 is summed from the residuals, not from
// the normal equations, whose cancellation would blur the search's minimum.
class Fitter {
 public:
  // observed, sigma and excluded must outlive the fitter, which reads them at each solve.
  Fitter(const ObservedPattern& observed, const std::vector<double>& sigma, int terms,
         const std::vector<bool>& excluded)
      : observed_(observed), sigma_(sigma), excluded_(excluded), terms_(terms) {
    background_gram_ = Eigen::MatrixXd::Zero(terms, terms);
    background_y_ = Eigen::VectorXd::Zero(terms);
    Eigen::VectorXd t(terms);
    for (std::size_t i = 0; i < observed.two_theta.size(); ++i) {
      const double w = root_weight(i);
      if (w == 0) continue;
      weighted_terms(i, w, t);
      background_gram_.selfadjointView<Eigen::Lower>().rankUpdate(t);
      background_y_ += t * (observed.intensity[i] * w);
    }
    background_gram_ = background_gram_.selfadjointView<Eigen::Lower>();
  }

  LinearFit solve(const std::vector<std::vector<double>>& phases) {
    const std::size_t n = observed_.two_theta.size();
    const Eigen::Index terms = terms_, count = static_cast<Eigen::Index>(phases.size()), p = count + terms;
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(p, p);
    Eigen::VectorXd b = Eigen::VectorXd::Zero(p);
    a.bottomRightCorner(terms, terms) = background_gram_;
    b.tail(terms) = background_y_;
    Eigen::VectorXd v(count), t(terms);
    for (std::size_t i = 0; i < n; ++i) {
      const double w = root_weight(i);
      if (w == 0) continue;
      weighted_terms(i, w, t);
      for (Eigen::Index k = 0; k < count; ++k) v[k] = phases[static_cast<std::size_t>(k)][i] * w;
      for (Eigen::Index k = 0; k < count; ++k) {
        for (Eigen::Index l = 0; l <= k; ++l) a(k, l) += v[k] * v[l];
        for (Eigen::Index j = 0; j < terms; ++j) a(count + j, k) += v[k] * t[j];
        b[k] += v[k] * observed_.intensity[i] * w;
      }
    }
    for (Eigen::Index k = 0; k < p; ++k)
      for (Eigen::Index l = 0; l < k; ++l) a(l, k) = a(k, l);
    // Each column scaled to unit length: a phase's counts and the background's
    // terms differ by orders of magnitude.
    Eigen::VectorXd scale(p);
    for (Eigen::Index k = 0; k < p; ++k) scale[k] = a(k, k) > 0 ? 1.0 / std::sqrt(a(k, k)) : 1.0;
    const Eigen::MatrixXd scaled = scale.asDiagonal() * a * scale.asDiagonal();
    LinearFit fit;
    fit.coefficients = scale.asDiagonal() *
                       Eigen::ColPivHouseholderQR<Eigen::MatrixXd>(scaled).solve(scale.asDiagonal() * b);
    double chi_squared = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double w = root_weight(i);
      if (w == 0) continue;
      weighted_terms(i, w, t);
      double residual = observed_.intensity[i] * w - t.dot(fit.coefficients.tail(terms));
      for (Eigen::Index k = 0; k < count; ++k)
        residual -= fit.coefficients[k] * phases[static_cast<std::size_t>(k)][i] * w;
      chi_squared += residual * residual;
    }
    fit.chi_squared = chi_squared;
    return fit;
  }

 private:
  double root_weight(std::size_t i) const { return left_out(excluded_, i) ? 0.0 : 1.0 / sigma_[i]; }

  // Point i's Chebyshev terms (T_j = 2 u T_{j-1} - T_{j-2}, u on [-1, 1] over
  // the measured range) times its root weight w.
  void weighted_terms(std::size_t i, double w, Eigen::VectorXd& t) const {
    const std::vector<double>& x = observed_.two_theta;
    const double u = (2.0 * x[i] - x.front() - x.back()) / (x.back() - x.front());
    for (Eigen::Index j = 0; j < terms_; ++j)
      t[j] = j == 0 ? 1.0 : j == 1 ? u : 2.0 * u * t[j - 1] - t[j - 2];
    t *= w;
  }

  const ObservedPattern& observed_;
  const std::vector<double>& sigma_;
  const std::vector<bool>& excluded_;
  Eigen::Index terms_ = 0;
  Eigen::MatrixXd background_gram_;
  Eigen::VectorXd background_y_;
};

// The unshifted pattern on an even grid fine enough for four-point Lagrange
// interpolation to follow every peak: with 24 samples per narrowest FWHM the
// interpolation error is some 1e-5 of a Gaussian's height, far below the
// noise of any count, so the shift it finds is the exact pattern's.
class SampledPattern {
 public:
  static constexpr double kSamplesPerWidth = 24;
  // Beyond this many samples (peaks far narrower than the range) the search
  // computes the pattern exactly instead: 32 MB of doubles.
  static constexpr double kMostSamples = 4e6;

  // The grid over [from, to] with room for the interpolation's stencil, or
  // none (empty()) when it would hold more than kMostSamples points.
  SampledPattern(const ShiftedPattern& pattern, double from, double to, double narrowest) {
    step_ = narrowest / kSamplesPerWidth;
    if (!(step_ > 0) || (to - from) / step_ + 5 > kMostSamples) return;
    from_ = from - 2 * step_;
    std::vector<double> x(static_cast<std::size_t>(std::ceil((to - from) / step_)) + 5);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = from_ + static_cast<double>(i) * step_;
    y_ = pattern(x, 0.0);
  }

  bool empty() const { return y_.empty(); }

  // The pattern at x with every peak moved by shift: the samples at x - shift.
  std::vector<double> shifted(const std::vector<double>& x, double shift) const {
    std::vector<double> y(x.size());
    const double last = static_cast<double>(y_.size()) - 3;
    for (std::size_t k = 0; k < x.size(); ++k) {
      const double t = std::clamp((x[k] - shift - from_) / step_, 1.0, last);
      const double i = std::min(std::floor(t), last - 1), f = t - i;
      const double* s = y_.data() + static_cast<std::size_t>(i) - 1;
      // Lagrange weights of the samples at i-1, i, i+1 and i+2.
      y[k] = -f * (f - 1) * (f - 2) / 6 * s[0] + (f + 1) * (f - 1) * (f - 2) / 2 * s[1] -
             (f + 1) * f * (f - 2) / 2 * s[2] + (f + 1) * f * (f - 1) / 6 * s[3];
    }
    return y;
  }

 private:
  double from_ = 0, step_ = 0;
  std::vector<double> y_;
};

// The shift of least chi^2 between a and b, golden-section search.
double golden_minimum(const std::function<double(double)>& chi2, double a, double b) {
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double c = b - ratio * (b - a), d = a + ratio * (b - a);
  double fc = chi2(c), fd = chi2(d);
  for (int step = 0; step < 60 && b - a > 1e-7; ++step) {
    if (fc < fd) {
      b = d, d = c, fd = fc;
      c = b - ratio * (b - a), fc = chi2(c);
    } else {
      a = c, c = d, fc = fd;
      d = a + ratio * (b - a), fd = chi2(d);
    }
  }
  return (a + b) / 2.0;
}

// The fit's values at a shift from the linear solution: scales, background,
// the calculated points and Rp = sum |yo - yc| / sum |yo| over the points fitted.
PatternFit fit_at(const ObservedPattern& observed, const LinearFit& linear,
                  const std::vector<std::vector<double>>& calculated, double shift, int terms,
                  const std::vector<bool>& excluded) {
  PatternFit fit;
  const std::size_t count = calculated.size();
  fit.scales.assign(linear.coefficients.data(), linear.coefficients.data() + count);
  fit.scale = fit.scales.front();
  fit.zero_shift = shift;
  fit.background.assign(linear.coefficients.data() + count, linear.coefficients.data() + count + terms);
  const double low = observed.two_theta.front(), high = observed.two_theta.back();
  double absolute_difference = 0, absolute_observed = 0;
  fit.background_values.reserve(observed.two_theta.size());
  fit.calculated.reserve(observed.two_theta.size());
  for (std::size_t i = 0; i < observed.two_theta.size(); ++i) {
    const double u = (2.0 * observed.two_theta[i] - low - high) / (high - low);
    const std::vector<double> t = chebyshev_terms(u, terms);
    double background = 0;
    for (int j = 0; j < terms; ++j)
      background += fit.background[static_cast<std::size_t>(j)] * t[static_cast<std::size_t>(j)];
    fit.background_values.push_back(background);
    double peaks = 0;
    for (std::size_t k = 0; k < count; ++k) peaks += fit.scales[k] * calculated[k][i];
    fit.calculated.push_back(peaks + background);
    if (left_out(excluded, i)) continue;
    absolute_difference += std::abs(observed.intensity[i] - fit.calculated.back());
    absolute_observed += std::abs(observed.intensity[i]);
  }
  fit.rp = absolute_difference / absolute_observed;
  fit.excluded = excluded;
  return fit;
}

}  // namespace

bool fit_supported() { return true; }

PatternFit fit_pattern(const ObservedPattern& observed, const ShiftedPattern& pattern, int terms,
                       double narrowest, double zero_range, double zero_centre,
                       const std::vector<bool>& excluded) {
  return fit_pattern(observed, std::vector<ShiftedPattern>{pattern}, terms, narrowest, zero_range,
                     zero_centre, excluded);
}

PatternFit fit_pattern(const ObservedPattern& observed, const std::vector<ShiftedPattern>& phases, int terms,
                       double narrowest, double zero_range, double zero_centre,
                       const std::vector<bool>& excluded) {
  const std::size_t n = observed.two_theta.size();
  const std::size_t fitted = n - static_cast<std::size_t>(std::count(excluded.begin(), excluded.end(), true));
  const std::string outside = fitted < n ? " outside --exclude's ranges" : "";
  const std::size_t parameters = 1 + phases.size() + static_cast<std::size_t>(terms);
  if (fitted <= parameters)
    fail_powder(observed.source + ": " + std::to_string(fitted) + " points" + outside + " cannot fix " +
                std::to_string(parameters) + " parameters (" +
                (phases.size() == 1 ? std::string("scale") : std::to_string(phases.size()) + " scales") +
                ", zero shift and " + std::to_string(terms) + " background terms)");
  // The scan: a step of a quarter width cannot step over a peak's minimum.
  // At most kMostScanSteps on each side, for peaks far narrower than the range.
  // A range of 0 holds the shift at its centre.
  constexpr double kMostScanSteps = 1000;
  const double step = std::min(std::max(narrowest / 4.0, zero_range / kMostScanSteps), zero_range);
  const int steps = zero_range > 0 ? static_cast<int>(std::ceil(zero_range / step)) : 0;
  const auto within = [zero_range, zero_centre](double shift) {
    return std::clamp(shift, zero_centre - zero_range, zero_centre + zero_range);
  };

  const std::vector<double>& x = observed.two_theta;
  std::vector<SampledPattern> sampled;
  for (const ShiftedPattern& pattern : phases)
    sampled.emplace_back(pattern, x.front() - std::abs(zero_centre) - zero_range,
                         x.back() + std::abs(zero_centre) + zero_range, narrowest);
  const auto patterns_at = [&](double shift, bool exact) {
    std::vector<std::vector<double>> y;
    for (std::size_t k = 0; k < phases.size(); ++k)
      y.push_back(exact || sampled[k].empty() ? phases[k](x, shift) : sampled[k].shifted(x, shift));
    return y;
  };
  std::vector<double> sigma = observed.sigma;
  // Made anew (emplace) when the weights change.
  std::optional<Fitter> fitter;
  fitter.emplace(observed, sigma, terms, excluded);
  const auto chi2_at = [&](double shift) { return fitter->solve(patterns_at(shift, false)).chi_squared; };

  double best = zero_centre, best_chi2 = INFINITY;
  for (int i = -steps; i <= steps; ++i) {
    const double shift = within(zero_centre + i * step);
    const double chi2 = chi2_at(shift);
    if (chi2 < best_chi2) best = shift, best_chi2 = chi2;
  }
  double shift = golden_minimum(chi2_at, within(best - step), within(best + step));
  std::vector<std::vector<double>> calculated = patterns_at(shift, true);
  // With ranges left out, a phase whose fitted points hold no more than the far
  // tails of its peaks (a millionth of its strongest point) has its scale fixed
  // by them alone: by the noise, and wildly wrong under the ranges.
  constexpr double kLeastFittedShare = 1e-6;
  for (std::size_t k = 0; k < calculated.size(); ++k) {
    double strongest = 0, strongest_fitted = 0;
    for (std::size_t i = 0; i < n; ++i) {
      strongest = std::max(strongest, std::abs(calculated[k][i]));
      if (!left_out(excluded, i)) strongest_fitted = std::max(strongest_fitted, std::abs(calculated[k][i]));
    }
    const bool peakless = fitted < n ? !(strongest_fitted > kLeastFittedShare * strongest) : strongest == 0.0;
    if (peakless)
      fail_powder(observed.source + ": the calculated pattern" +
                  (phases.size() == 1 ? std::string() : " of phase " + std::to_string(k + 1)) +
                  " has no peak between " + shortest_text(static_cast<float>(observed.two_theta.front())) +
                  " and " + shortest_text(static_cast<float>(observed.two_theta.back())) + " degrees" +
                  outside + ", so there is no scale to fit");
  }
  PatternFit fit = fit_at(observed, fitter->solve(calculated), calculated, shift, terms, excluded);

  // Counts without sigma are Poisson: weights from the observed counts pull the
  // fit below the data (a point that happens to count low weighs more), by about
  // a count a point, which biases scale and background where counts are low.
  // Weights from the calculated counts, renewed until the fit settles, give the
  // maximum-likelihood fit instead (its normal equations are Poisson's).
  constexpr int kMostReweightings = 20;
  for (int pass = 0; !observed.sigma_given && pass < kMostReweightings; ++pass) {
    for (std::size_t i = 0; i < n; ++i) sigma[i] = std::sqrt(std::max(fit.calculated[i], 1.0));
    fitter.emplace(observed, sigma, terms, excluded);
    const double previous_shift = shift;
    const std::vector<double> previous_scales = fit.scales;
    shift = golden_minimum(chi2_at, within(shift - step), within(shift + step));
    calculated = patterns_at(shift, true);
    fit = PatternFit{};  // the last pass's points freed before the next's are made
    fit = fit_at(observed, fitter->solve(calculated), calculated, shift, terms, excluded);
    bool settled = std::abs(shift - previous_shift) < 1e-6;
    for (std::size_t k = 0; k < fit.scales.size(); ++k)
      settled = settled && std::abs(fit.scales[k] - previous_scales[k]) <= 1e-8 * std::abs(fit.scales[k]);
    if (settled) break;
  }

  // The agreement with the weights w = 1 / sigma^2 of the fit: for counts the
  // calculated variance, whose chi^2 comes to 1 for a right model at any count
  // rate (weights from the observed counts make it larger below some 20 counts):
  // Rwp = sqrt(sum w (yo - yc)^2 / sum w yo^2); Rexp = sqrt((N - P) / sum w yo^2);
  // chi^2 = sum w (yo - yc)^2 / (N - P), N the points fitted.
  double chi_squared = 0, weighted_y_squared = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (left_out(excluded, i)) continue;
    const double w = 1.0 / (sigma[i] * sigma[i]);
    const double difference = observed.intensity[i] - fit.calculated[i];
    chi_squared += w * difference * difference;
    weighted_y_squared += w * observed.intensity[i] * observed.intensity[i];
  }
  const double freedom = static_cast<double>(fitted - parameters);
  fit.rwp = std::sqrt(chi_squared / weighted_y_squared);
  fit.rexp = std::sqrt(freedom / weighted_y_squared);
  fit.chi2 = chi_squared / freedom;
  fit.sigma = std::move(sigma);
  return fit;
}

}  // namespace velmora::powder

#else  // built without Eigen

namespace velmora::powder {

bool fit_supported() { return false; }

PatternFit fit_pattern(const ObservedPattern&, const ShiftedPattern&, int, double, double, double,
                       const std::vector<bool>&) {
  fail_powder("--observed: this velmora-powder was built without Eigen (Debian: libeigen3-dev)");
}

PatternFit fit_pattern(const ObservedPattern&, const std::vector<ShiftedPattern>&, int, double, double,
                       double, const std::vector<bool>&) {
  fail_powder("--observed: this velmora-powder was built without Eigen (Debian: libeigen3-dev)");
}

}  // namespace velmora::powder

#endif
