// The fit of a calculated pattern to a measured one: the scale, the zero
// shift (degrees added to every calculated 2-theta) and a Chebyshev
// background, chosen to minimise the weighted squared difference, and the
// agreement factors of the result.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "powder/chebyshev.hpp"
#include "powder/observed_pattern.hpp"

namespace velmora::powder {

struct PatternFit {
  double scale = 0;                // the first phase's
  std::vector<double> scales;      // every phase's, the first phase's first
  double zero_shift = 0;           // degrees: 2theta_obs = 2theta_calc + zero_shift
  std::vector<double> background;  // Chebyshev coefficients, over the measured range mapped to -1..1
  double rp = 0, rwp = 0, rexp = 0, chi2 = 0;  // fractions (not percent); chi2 = (Rwp / Rexp)^2
  std::vector<double> calculated;  // at the measured points: scale times the pattern plus background
  std::vector<double> background_values;
  std::vector<double> sigma;   // the standard uncertainties the fit weighted by
  std::vector<bool> excluded;  // the measured points the fit left out; empty: none
  std::string scale_means;     // what the scale multiplies, in words, for the fit report
};

// The most Chebyshev terms a background takes, and the widest zero shift
// searched each side (degrees).
inline constexpr int kMostBackgroundTerms = 20;
inline constexpr double kMostZeroRange = 10;

// The calculated pattern at the sorted points x (degrees) with every peak
// moved by a shift (degrees).
using ShiftedPattern = std::function<std::vector<double>(const std::vector<double>& x, double shift)>;

// Fits scale, zero shift within zero_centre +- zero_range degrees and background_terms
// Chebyshev terms (0 for none) by weighted least squares, weights 1 / sigma^2:
// the file's sigma, or for counts without one sigma^2 = max(calculated, 1),
// the Poisson maximum-likelihood fit. The R factors and chi2 take the same
// weights. Points marked in excluded (empty: none) take no part in the fit,
// the R factors or chi2 and its count of points, but the calculated pattern
// and the background are given at every point, over the whole measured range.
// narrowest is the smallest peak width in degrees, which sets how finely the
// zero shift is searched. Ends the run when the pattern has no peak in the
// measured range or there are no more points than parameters.
//
// The scale is the number the calculated intensities are multiplied by to give
// the measured ones: peak area in (counts x degrees of 2theta) over the peak's
// integrated intensity as the pattern gives it.
PatternFit fit_pattern(const ObservedPattern& observed, const ShiftedPattern& pattern, int background_terms,
                       double narrowest, double zero_range, double zero_centre = 0,
                       const std::vector<bool>& excluded = {});

// The same for a mixture: one scale for each phase's pattern, one zero shift
// and one background for them all.
PatternFit fit_pattern(const ObservedPattern& observed, const std::vector<ShiftedPattern>& phases,
                       int background_terms, double narrowest, double zero_range, double zero_centre = 0,
                       const std::vector<bool>& excluded = {});

// Whether this build fits (it does when built with Eigen).
bool fit_supported();

}  // namespace velmora::powder
