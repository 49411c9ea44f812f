// The pattern drawn for a person to read at a glance, as SVG through PLplot:
// the neutron pattern with its magnetic part in its own colour, the X-ray
// pattern in a panel of its own when asked, rows of tick marks at the peak
// positions, labelled axes with units, and a title with the file and the
// wavelength.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "powder/excluded_ranges.hpp"
#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/plot_axis.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

// Whether this build draws (it does when PLplot and its SVG driver are there).
bool plot_supported();

// Draws into the existing file `file`, replacing its content; returns whether
// the SVG written is complete (PLplot does not report a failed write).
bool draw_powder_plot(const std::string& file, const std::string& title, const PowderPattern& pattern,
                      const std::vector<PowderPeak>& peaks, Radiation radiation, const PlotAxis& axis);

// What the picture of a fit shows: the measured points, the calculated line,
// the difference below, the peaks' tick marks and the ranges left out of the
// fit (fit.excluded marks their points). On a 2-theta axis the measured angles
// are drawn as measured and the ticks moved by the zero shift; on a d or Q axis
// the measured angles less the zero shift, and the ticks at the angles the
// peaks are computed at.
struct FitPicture {
  const ObservedPattern& observed;
  const PatternFit& fit;
  const std::vector<PowderPeak>& peaks;
  Radiation radiation;  // neutron (nuclear and magnetic ticks) or xray
  PlotAxis axis;
  // The peaks of a mixture's further phases, a row of ticks each. A phase given
  // by the peaks the pattern computes has the nuclear and magnetic peaks in one
  // row (their sum in `nuclear`), as the refinement's placed peaks have them.
  std::span<const std::vector<PowderPeak>> further_phases = {};
  // Shaded in both panels, their difference not drawn.
  std::span<const ExcludedRange> excluded = {};
};

// Draws the fit into the existing file `file` as draw_powder_plot does.
bool draw_fit_plot(const std::string& file, const std::string& title, const FitPicture& picture);

}  // namespace velmora::powder
