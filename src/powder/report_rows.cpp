// The rows of a fit, its numbers in the shortest digits of a float, as the
// program's messages write them.
#include "powder/report_rows.hpp"

#include <cstdio>

#include "numbers/shortest_text.hpp"

namespace velmora::powder {

std::string percent_text(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", 100 * fraction);
  return text;
}

std::vector<ReportRow> agreement_rows(const PatternFit& fit) {
  return {{"Rp", percent_text(fit.rp), ""},
          {"Rwp", percent_text(fit.rwp), "weighted"},
          {"Rexp", percent_text(fit.rexp), "expected from the counts"},
          {"chi2", shortest_text(static_cast<float>(fit.chi2)), "(Rwp / Rexp)²"}};
}

std::vector<ReportRow> fit_rows(const PatternFit& fit) {
  const auto f = [](double v) { return shortest_text(static_cast<float>(v)); };
  const char* fitted = "fitted, no esd";
  std::vector<ReportRow> rows;
  if (fit.scales.size() > 1) {
    for (std::size_t k = 0; k < fit.scales.size(); ++k)
      rows.push_back({"phase " + std::to_string(k + 1) + " scale", f(fit.scales[k]), fitted});
  } else {
    rows.push_back({"scale", f(fit.scale), fitted});
  }
  rows.push_back({"zero shift (°)", f(fit.zero_shift), fitted});
  for (std::size_t k = 0; k < fit.background.size(); ++k)
    rows.push_back({"background T" + std::to_string(k), f(fit.background[k]), "Chebyshev coefficient"});
  return rows;
}

}  // namespace velmora::powder
