// The text of velmora-powder's two CSV files. Every number is a stored
// single-precision value in digits that read back exactly.
#pragma once

#include <string>
#include <vector>

#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

// One row per peak: h, k, l, d, 2theta, |Fn|^2, |Fm|^2, |FX|^2, then the
// neutron nuclear, neutron magnetic and X-ray integrated intensities.
std::string reflections_csv(const std::vector<PowderPeak>& peaks);

// One row per grid point: 2theta, neutron nuclear, neutron magnetic, neutron
// total, X-ray.
std::string pattern_csv(const PowderPattern& pattern);

// One row per measured point: 2theta, observed, sigma, calculated, background,
// difference (observed - calculated).
std::string fit_csv(const ObservedPattern& observed, const PatternFit& fit);

// The fit as JSON: scale, zero_shift (degrees), background (the Chebyshev
// coefficients), Rp, Rwp, Rexp and chi2, in the shortest digits that read
// back as the same double.
std::string fit_json(const PatternFit& fit);

// Two columns, 2theta and intensity, separated by a blank, no header; single
// tells that the values are stored single-precision ones, written as such.
std::string xy_text(const std::vector<double>& two_theta, const std::vector<double>& intensity, bool single);

}  // namespace velmora::powder
