// The ranges of 2-theta a fit leaves out: measured regions the model cannot
// describe, such as an impurity's peaks, a sample holder's peak or the shadow
// of a beam stop. Their points are still drawn and written, but take no part
// in the fit, the refinement or the agreement factors.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "powder/observed_pattern.hpp"
#include "powder/powder_error.hpp"

namespace velmora::powder {

// Degrees of 2theta, from < to; a point at either end is left out too.
struct ExcludedRange {
  double from = 0, to = 0;
};

// Why a range leaves out nothing sensible: an end that is not a finite number,
// or FROM not below TO. Naming the value is left to the caller.
std::optional<std::string> excluded_range_fault(const ExcludedRange& range);

// Whether each measured point lies in one of the ranges (from <= 2theta <= to);
// empty when no range is given. Ranges may overlap. Warns of a range that
// holds no measured point, and ends the run when every point lies in one.
std::vector<bool> excluded_points(const ObservedPattern& observed, const std::vector<ExcludedRange>& ranges,
                                  Remarks& remarks);

// A range as the command line gives it, FROM:TO.
std::string range_text(const ExcludedRange& range);

}  // namespace velmora::powder
