// What velmora-powder tells of a refinement: a table of the refined values
// with their standard uncertainties in parentheses, as crystallographers write
// them, and the same values as members of the fit report's JSON.
#pragma once

#include <string>
#include <vector>

#include "powder/report_rows.hpp"
#include "rietveld/pattern_refinement.hpp"

namespace velmora::powder {

// The table: how the refinement ended, each refined or tied parameter on a
// line, the agreement factors and the correlations above 0.9.
std::string refinement_table(const rietveld::PatternRefinement& r, const std::string& source);

// Each refined or tied parameter: its name, its value with the esd in
// parentheses, and "= NAME" for a tied one, as the table shows them.
std::vector<ReportRow> refinement_rows(const rietveld::PatternRefinement& r);

// How the refinement ended ("12 iterations, converged (REASON)").
std::string refinement_ending(const rietveld::PatternRefinement& r);

// What the table says after the agreement factors: the cells' bases, the
// correlations above 0.9 and the parameters that ended on a bound, a line each.
std::vector<std::string> refinement_notes(const rietveld::PatternRefinement& r);

// The fit report's members beside today's: "parameters" (name, value, esd,
// refined, and what a tied one follows), "correlations", "iterations",
// "converged", "stop_reason", "at_bound"; the last line without its end.
std::string refinement_json_members(const rietveld::PatternRefinement& r);

}  // namespace velmora::powder
