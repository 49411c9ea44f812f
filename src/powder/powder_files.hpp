// The text of velmora-powder's CSV and xy files, made row by row into the
// file as it is written (files/text_sink.hpp), never held whole. Every number
// is a stored single-precision value in digits that read back exactly. A fill
// reads the values when it is called: they must outlive it.
#pragma once

#include <string>
#include <vector>

#include "files/text_sink.hpp"
#include "powder/excluded_ranges.hpp"
#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

// One row per peak: h, k, l, d, 2theta, |Fn|^2, |Fm|^2, |FX|^2, then the
// neutron nuclear, neutron magnetic and X-ray integrated intensities, and the
// wavelength.
TextFill reflections_csv(const std::vector<PowderPeak>& peaks);

// The same table written a row at a time, the header when made.
class ReflectionRows {
 public:
  explicit ReflectionRows(TextSink& out);
  void add(const PowderPeak& peak);

 private:
  TextSink& out_;
  std::string row_;
};

// One row per grid point: 2theta, neutron nuclear, neutron magnetic, neutron
// total, X-ray.
TextFill pattern_csv(const PowderPattern& pattern);

// One row per measured point: 2theta, observed, sigma, calculated, background,
// difference (observed - calculated).
TextFill fit_csv(const ObservedPattern& observed, const PatternFit& fit);

// The fit as JSON: scale, zero_shift (degrees), background (the Chebyshev
// coefficients), Rp, Rwp, Rexp and chi2, in the shortest digits that read
// back as the same double, then "excluded", the ranges of 2theta left out of
// the fit as [FROM, TO] pairs, when there are any; members (whole lines, the
// last without its line end) follow them.
std::string fit_json(const PatternFit& fit, const std::string& members = "",
                     const std::vector<ExcludedRange>& excluded = {});

// The fit report's member "absorption": the sample, the approximation, mu R
// and, when computed, mu (1/mm), the packing and the radius (mm); one line
// without its line end.
std::string absorption_json_member(const SampleAbsorption& absorption);

// Two columns, 2theta and intensity, separated by a blank, no header: stored
// single-precision values written as such, or a fit's doubles.
TextFill xy_text(const std::vector<float>& two_theta, const std::vector<float>& intensity);
TextFill xy_text(const std::vector<double>& two_theta, const std::vector<double>& intensity);

}  // namespace velmora::powder
