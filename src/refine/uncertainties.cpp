// Covariance V = chi2 / (N - P) A^-1 of the refined parameters; esd = sqrt(V_kk),
// correlation V_kl / sqrt(V_kk V_ll); a tie t = c + sum a_k x_k has variance a'V a.
#include "refine/uncertainties.hpp"

#include <algorithm>
#include <cmath>

namespace velmora::refine {
namespace {

// Correlations above this are listed for the report, as refinement programs flag them.
constexpr double high_correlation = 0.9;

}  // namespace

void fill_uncertainties(Result& result, const NormalEquations& normal, const ParameterMap& map) {
  const std::size_t count = map.refined_count();
  result.refined_indices = map.refined();
  result.esd.assign(result.parameters.size(), 0.0);
  result.correlation =
      Eigen::MatrixXd::Identity(static_cast<Eigen::Index>(count), static_cast<Eigen::Index>(count));
  if (count == 0) return;
  // The inverse of A itself gives the correlations, defined even when chi2 is zero.
  const Eigen::MatrixXd inverse = normal.inverse();
  const Eigen::MatrixXd covariance = result.reduced_chi2 * inverse;
  const Eigen::VectorXd esd = covariance.diagonal().cwiseMax(0.0).cwiseSqrt();
  const Eigen::VectorXd root = inverse.diagonal().cwiseSqrt();
  for (std::size_t k = 0; k < count; ++k) {
    const auto kk = static_cast<Eigen::Index>(k);
    result.esd[map.refined()[k]] = esd[kk];
    for (std::size_t l = 0; l < k; ++l) {
      const auto ll = static_cast<Eigen::Index>(l);
      const double value = inverse(kk, ll) / (root[kk] * root[ll]);
      result.correlation(kk, ll) = result.correlation(ll, kk) = value;
      if (std::fabs(value) > high_correlation)
        result.high_correlations.push_back({map.refined()[l], map.refined()[k], value});
    }
  }
  for (const ResolvedTie& tie : map.ties()) {
    Eigen::VectorXd a = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(count));
    for (const auto& [k, coefficient] : tie.terms) a[static_cast<Eigen::Index>(k)] = coefficient;
    result.esd[tie.index] = std::sqrt(std::max(0.0, a.dot(covariance * a)));
  }
}

}  // namespace velmora::refine
