// The checks on the points as a whole. The bounds on sigma are relative to the
// strongest intensity, since a pattern may be in counts or in any scale.
#include "powder/observed_points.hpp"

#include <algorithm>
#include <cmath>

#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

// A sigma below 10^-9 of the strongest intensity claims a precision no counter
// reaches (10^18 counts for Poisson statistics) and would make that point
// alone the fit; one above 10^9 of it says the point was not measured at all,
// and its weight 1 / sigma^2 (below 10^-18 of a counted point's) is lost to
// rounding in the normal equations. Either way the fit would mean nothing.
constexpr double kLeastRelativeSigma = 1e-9;
constexpr double kMostRelativeSigma = 1e9;

std::string point_place(const ObservedPattern& o, std::size_t i) {
  return o.source + ", point " + std::to_string(i + 1) + " (2theta " + limit_text(o.two_theta[i]) + ")";
}

void check_values(const ObservedPattern& o) {
  for (std::size_t i = 0; i < o.two_theta.size(); ++i) {
    if (!std::isfinite(o.two_theta[i]) || !std::isfinite(o.intensity[i]) || !std::isfinite(o.sigma[i]))
      fail_powder(point_place(o, i) + ": a value that is not a finite number");
    if (!(o.two_theta[i] > 0 && o.two_theta[i] < 180))
      fail_powder(point_place(o, i) + ": 2theta is outside 0 to 180 degrees");
    if (i > 0 && !(o.two_theta[i] > o.two_theta[i - 1]))
      fail_powder(point_place(o, i) + ": 2theta does not rise above the point before");
    if (o.sigma[i] < 0) fail_powder(point_place(o, i) + ": sigma " + limit_text(o.sigma[i]) + " is below 0");
  }
}

void leave_out_unweighted(ObservedPattern& o, Remarks& remarks) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < o.two_theta.size(); ++i) {
    if (o.sigma[i] == 0) continue;
    o.two_theta[kept] = o.two_theta[i];
    o.intensity[kept] = o.intensity[i];
    o.sigma[kept] = o.sigma[i];
    ++kept;
  }
  const std::size_t left_out = o.two_theta.size() - kept;
  if (left_out == 0) return;
  if (kept == 0) fail_powder(o.source + ": nothing to fit: every point has sigma 0");
  o.two_theta.resize(kept);
  o.intensity.resize(kept);
  o.sigma.resize(kept);
  remarks.warn(o.source + ": " + std::to_string(left_out) + " point" + (left_out == 1 ? "" : "s") +
               " of sigma 0 left out of the fit");
}

void check_weights(const ObservedPattern& o) {
  double strongest = 0;
  for (double y : o.intensity) strongest = std::max(strongest, std::abs(y));
  if (strongest == 0) fail_powder(o.source + ": nothing to fit: every intensity is 0");
  // Counts without sigma are weighted by the fit's own Poisson variances.
  if (!o.sigma_given) return;
  for (std::size_t i = 0; i < o.sigma.size(); ++i)
    if (o.sigma[i] < kLeastRelativeSigma * strongest || o.sigma[i] > kMostRelativeSigma * strongest)
      fail_powder(point_place(o, i) + ": nothing to fit: sigma " + limit_text(o.sigma[i]) +
                  " is outside 10^-9 to 10^9 times the strongest intensity (" + limit_text(strongest) +
                  "), weights that mean nothing");
}

}  // namespace

void settle_observed_points(ObservedPattern& observed, Remarks& remarks) {
  check_values(observed);
  leave_out_unweighted(observed, remarks);
  if (observed.two_theta.size() < 2)
    fail_powder(observed.source + ": fewer than two points of 2theta and intensity");
  check_weights(observed);
}

}  // namespace velmora::powder
