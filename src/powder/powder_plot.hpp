// The pattern drawn for a person to read at a glance, as SVG through PLplot:
// the neutron pattern with its magnetic part in its own colour, the X-ray
// pattern in a panel of its own when asked, rows of tick marks at the peak
// positions, labelled axes with units, and a title with the file and the
// wavelength.
#pragma once

#include <string>
#include <vector>

#include "powder/plot_axis.hpp"
#include "powder/plot_content.hpp"
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

// Draws the fit into the existing file `file` as draw_powder_plot does.
bool draw_fit_plot(const std::string& file, const std::string& title, const FitPicture& picture);

}  // namespace velmora::powder
