// What velmora-powder tells of a refinement: a table of the refined values
// with their standard uncertainties in parentheses, as crystallographers write
// them, and the same values as members of the fit report's JSON.
#pragma once

#include <string>

#include "rietveld/pattern_refinement.hpp"

namespace velmora::powder {

// The table: how the refinement ended, each refined or tied parameter on a
// line, the agreement factors and the correlations above 0.9.
std::string refinement_table(const rietveld::PatternRefinement& r, const std::string& source);

// The fit report's members beside today's: "parameters" (name, value, esd,
// refined, and what a tied one follows), "correlations", "iterations",
// "converged", "stop_reason", "at_bound"; the last line without its end.
std::string refinement_json_members(const rietveld::PatternRefinement& r);

}  // namespace velmora::powder
