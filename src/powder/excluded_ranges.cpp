// The points a fit leaves out, found once for the fit, the refinement, the
// agreement factors and the plot alike, so that all of them leave out the same.
#include "powder/excluded_ranges.hpp"

#include <algorithm>
#include <cmath>

#include "numbers/shortest_text.hpp"

namespace velmora::powder {

std::optional<std::string> excluded_range_fault(const ExcludedRange& range) {
  if (!std::isfinite(range.from) || !std::isfinite(range.to)) return "FROM and TO must be finite numbers";
  if (!(range.from < range.to)) return "FROM must be below TO";
  return std::nullopt;
}

std::string range_text(const ExcludedRange& range) {
  return shortest_text(range.from) + ":" + shortest_text(range.to);
}

std::vector<bool> excluded_points(const ObservedPattern& observed, const std::vector<ExcludedRange>& ranges,
                                  Remarks& remarks) {
  if (ranges.empty()) return {};
  const std::vector<double>& x = observed.two_theta;
  std::vector<bool> excluded(x.size(), false);
  std::string all;
  for (const ExcludedRange& range : ranges) {
    // The points are sorted by 2theta: those of a range are one run of them.
    const auto first = std::lower_bound(x.begin(), x.end(), range.from);
    const auto end = std::upper_bound(first, x.end(), range.to);
    if (first == end)
      remarks.warn("--exclude " + range_text(range) + ": no point of " + observed.source +
                   " lies in it, so it leaves out nothing");
    std::fill(excluded.begin() + (first - x.begin()), excluded.begin() + (end - x.begin()), true);
    all += (all.empty() ? "" : ", ") + range_text(range);
  }
  if (std::all_of(excluded.begin(), excluded.end(), [](bool out) { return out; }))
    fail_powder("--exclude " + all + ": nothing to fit: the ranges hold every one of the " +
                std::to_string(x.size()) + " points of " + observed.source);
  return excluded;
}

}  // namespace velmora::powder
