// velmora-powder's report in the browser: one HTML file holding the pattern
// or the fit as data, the plotting library (uPlot, compiled into the program)
// and the page's own script, which draws it zoomable and pannable with a
// readout of the cursor's 2-theta, d and Q and of the nearest reflections,
// and the tables of the parameters, the agreement and the model. The page
// fetches nothing: its content security policy forbids any request.
#pragma once

#include <vector>

#include "files/text_sink.hpp"
#include "powder/plot_content.hpp"
#include "powder/report_rows.hpp"

namespace velmora::powder {

// The fit's page: the measured points, the calculated line and the background,
// a row of ticks per kind of peak and per phase, the difference below, along
// 2-theta as measured (the picture's axis is taken as 2-theta).
TextFill fit_html(const FitPicture& picture, const ReportTables& tables);

// A computed pattern's page: the curves of the radiation (neutron with its
// magnetic part, X-ray), the ticks of their peaks; wavelength (angstroms)
// gives the readout's d and Q.
TextFill pattern_html(const PowderPattern& pattern, const std::vector<PowderPeak>& peaks, Radiation radiation,
                      double wavelength, const ReportTables& tables);

}  // namespace velmora::powder
