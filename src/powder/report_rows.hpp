// The tables a report of velmora-powder shows beside its plot, as rows of
// text: the model computed, the parameters with their esd's, the agreement
// factors, and the lines and remarks that go with them.
#pragma once

#include <string>
#include <vector>

#include "errors/remarks.hpp"
#include "powder/pattern_fit.hpp"

namespace velmora::powder {

struct ReportRow {
  std::string name, value, note;
};

struct ReportTables {
  std::string title;                  // the input file's name
  std::vector<ReportRow> model;       // input, measurement, radiation, peak shape, magnetic model
  std::vector<ReportRow> parameters;  // name, value (with its esd when refined), how it was found
  std::vector<ReportRow> agreement;   // Rp, Rwp, Rexp, chi2
  std::vector<std::string> notes;     // how a refinement ended, its correlations and bounds
  std::vector<frontend::Remark> remarks;
};

// A fraction as a percentage of two decimals ("3.86%"), as the tables write R factors.
std::string percent_text(double fraction);

// Rp, Rwp, Rexp and chi2 of a fit.
std::vector<ReportRow> agreement_rows(const PatternFit& fit);

// The values of a fit by least squares with no esd's: each phase's scale, the
// zero shift and the background's Chebyshev coefficients.
std::vector<ReportRow> fit_rows(const PatternFit& fit);

}  // namespace velmora::powder
