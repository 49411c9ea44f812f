// The table is aligned in columns for reading; the JSON keeps every digit
// (shortest text that reads back as the same double).
#include "powder/refinement_report.hpp"

#include <algorithm>
#include <cstdio>

#include "errors/escaping.hpp"
#include "numbers/shortest_text.hpp"
#include "powder/json_text.hpp"
#include "rietveld/esd_text.hpp"

namespace velmora::powder {
namespace {

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::vector<ReportRow> refinement_rows(const rietveld::PatternRefinement& r) {
  std::vector<ReportRow> rows;
  for (const rietveld::RefinedValue& v : r.values)
    if (v.refined || !v.follows.empty())
      rows.push_back({v.name, rietveld::with_esd(v.value, v.esd), v.follows.empty() ? "" : "= " + v.follows});
  return rows;
}

std::string refinement_ending(const rietveld::PatternRefinement& r) {
  return std::to_string(r.iterations) + " iterations, " + (r.converged ? "converged" : "not converged") +
         " (" + r.stop_reason + ")";
}

std::vector<std::string> refinement_notes(const rietveld::PatternRefinement& r) {
  std::vector<std::string> notes = r.cell_bases;
  for (const rietveld::NamedCorrelation& c : r.correlations) {
    char value[16];
    std::snprintf(value, sizeof value, "%.3f", c.value);
    notes.push_back("correlation " + c.first + " / " + c.second + ": " + value);
  }
  for (const std::string& name : r.at_bound) notes.push_back(name + " ended on its bound");
  return notes;
}

std::string refinement_table(const rietveld::PatternRefinement& r, const std::string& source) {
  std::string text = "refinement of " + frontend::valid_utf8(source) + ": " + refinement_ending(r) + "\n";
  const std::vector<ReportRow> rows = refinement_rows(r);
  std::size_t width = 9;
  for (const rietveld::RefinedValue& v : r.values) width = std::max(width, v.name.size());
  for (const ReportRow& row : rows)
    text += "  " + padded(row.name, width) + "  " + row.value +
            (row.note.empty() ? "" : "  (" + row.note + ")") + "\n";
  text += "  Rp " + percent_text(r.fit.rp) + "  Rwp " + percent_text(r.fit.rwp) + "  Rexp " +
          percent_text(r.fit.rexp) + "  chi2 " + shortest_text(static_cast<float>(r.fit.chi2)) + "\n";
  for (const std::string& note : refinement_notes(r)) text += "  " + note + "\n";
  return text;
}

std::string refinement_json_members(const rietveld::PatternRefinement& r) {
  std::string text = "  \"parameters\": [";
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    const rietveld::RefinedValue& v = r.values[j];
    text += std::string(j == 0 ? "\n" : ",\n") + "    {\"name\": " + json_string(v.name) +
            ", \"value\": " + shortest_text(v.value) + ", \"esd\": " + shortest_text(v.esd) +
            ", \"refined\": " + (v.refined ? "true" : "false") +
            (v.follows.empty() ? "" : ", \"follows\": " + json_string(v.follows)) + "}";
  }
  text += "\n  ],\n  \"correlations\": [";
  for (std::size_t j = 0; j < r.correlations.size(); ++j) {
    const rietveld::NamedCorrelation& c = r.correlations[j];
    text += std::string(j == 0 ? "" : ", ") + "{\"first\": " + json_string(c.first) +
            ", \"second\": " + json_string(c.second) + ", \"value\": " + shortest_text(c.value) + "}";
  }
  text += "],\n  \"at_bound\": [";
  for (std::size_t j = 0; j < r.at_bound.size(); ++j)
    text += std::string(j == 0 ? "" : ", ") + json_string(r.at_bound[j]);
  text += "],\n  \"iterations\": " + std::to_string(r.iterations) +
          ",\n  \"converged\": " + (r.converged ? "true" : "false") +
          ",\n  \"stop_reason\": " + json_string(r.stop_reason);
  return text;
}

}  // namespace velmora::powder
