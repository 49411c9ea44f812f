// Solving and inverting the scaled normal matrix S = D^-1 A D^-1 (unit diagonal).
// The damped system S + mu I is positive definite for mu > 0 and solved by
// Cholesky; the undamped one is inverted through its eigenvalues, whose smallest
// ones, with their eigenvectors, name the parameters that cannot be told apart.
#include "refine/normal_equations.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "refine/refine_error.hpp"

namespace velmora::refine {
namespace {

// An eigenvector's component this large, relative to its largest, names its
// parameter among the dependent ones.
constexpr double involved_component = 0.1;

std::string name_list(const ParameterMap& map, const std::vector<std::size_t>& indices) {
  std::string text;
  for (std::size_t n = 0; n < indices.size(); ++n) {
    if (n > 0) text += n + 1 == indices.size() ? " and " : ", ";
    text += map.name(indices[n]);
  }
  return text;
}

}  // namespace

void NormalEquations::build(const Eigen::MatrixXd& j, const Eigen::VectorXd& w, const Eigen::VectorXd& r) {
  const Eigen::MatrixXd weighted = w.cwiseSqrt().asDiagonal() * j;
  a_ = weighted.transpose() * weighted;
  g_ = j.transpose() * w.cwiseProduct(r);
  scale_ = a_.diagonal().cwiseSqrt();
  for (Eigen::Index k = 0; k < scale_.size(); ++k)
    if (scale_[k] == 0) scale_[k] = 1;
}

bool NormalEquations::damped_shift(double mu, const std::vector<bool>& held, Eigen::VectorXd& h) const {
  std::vector<Eigen::Index> free;
  for (Eigen::Index k = 0; k < a_.rows(); ++k)
    if (!held[static_cast<std::size_t>(k)]) free.push_back(k);
  const auto n = static_cast<Eigen::Index>(free.size());
  Eigen::MatrixXd s(n, n);
  Eigen::VectorXd b(n);
  for (Eigen::Index u = 0; u < n; ++u) {
    b[u] = g_[free[u]] / scale_[free[u]];
    for (Eigen::Index v = 0; v < n; ++v) s(u, v) = a_(free[u], free[v]) / (scale_[free[u]] * scale_[free[v]]);
    s(u, u) += mu;
  }
  const Eigen::LLT<Eigen::MatrixXd> cholesky(s);
  if (cholesky.info() != Eigen::Success) return false;
  const Eigen::VectorXd scaled = cholesky.solve(b);
  h = Eigen::VectorXd::Zero(a_.rows());
  for (Eigen::Index u = 0; u < n; ++u) h[free[u]] = scaled[u] / scale_[free[u]];
  return h.allFinite();
}

double NormalEquations::predicted_decrease(const Eigen::VectorXd& h) const {
  return 2 * h.dot(g_) - h.dot(a_ * h);
}

Eigen::VectorXd NormalEquations::inverse_diagonal() const {
  const Eigen::MatrixXd s = scale_.asDiagonal().inverse() * a_ * scale_.asDiagonal().inverse();
  const Eigen::LLT<Eigen::MatrixXd> cholesky(s);
  if (cholesky.info() != Eigen::Success) return {};
  const Eigen::MatrixXd inverse = cholesky.solve(Eigen::MatrixXd::Identity(s.rows(), s.cols()));
  return inverse.diagonal().cwiseQuotient(scale_.cwiseProduct(scale_));
}

void NormalEquations::check_determined(const ParameterMap& map, double tolerance) const {
  std::vector<std::size_t> no_effect;
  for (Eigen::Index k = 0; k < a_.rows(); ++k)
    if (a_(k, k) == 0) no_effect.push_back(map.refined()[static_cast<std::size_t>(k)]);
  if (!no_effect.empty())
    throw RefineError(Refusal::no_effect, no_effect,
                      name_list(map, no_effect) + (no_effect.size() == 1 ? " does" : " do") +
                          " not change the calculated values: fix " +
                          (no_effect.size() == 1 ? "it" : "them") + " or start from values where " +
                          (no_effect.size() == 1 ? "it does" : "they do"));
  const Eigen::MatrixXd s = scale_.asDiagonal().inverse() * a_ * scale_.asDiagonal().inverse();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(s);
  const Eigen::VectorXd& values = eigen.eigenvalues();  // ascending
  if (values.size() == 0 || values[0] > tolerance * values[values.size() - 1]) return;
  std::vector<std::size_t> all, to_hold;
  std::string groups;
  for (Eigen::Index e = 0; e < values.size() && values[e] <= tolerance * values[values.size() - 1]; ++e) {
    Eigen::VectorXd v = eigen.eigenvectors().col(e).cwiseAbs();
    Eigen::VectorXd free = v;  // the components of parameters not yet chosen to hold
    for (std::size_t held : to_hold)
      for (Eigen::Index k = 0; k < v.size(); ++k)
        if (map.refined()[static_cast<std::size_t>(k)] == held) free[k] = 0;
    Eigen::Index largest = 0;
    free.maxCoeff(&largest);
    to_hold.push_back(map.refined()[static_cast<std::size_t>(largest)]);
    std::vector<std::size_t> group;
    for (Eigen::Index k = 0; k < v.size(); ++k)
      if (v[k] >= involved_component * v.maxCoeff())
        group.push_back(map.refined()[static_cast<std::size_t>(k)]);
    groups += (groups.empty() ? "" : "; ") + name_list(map, group) +
              (group.size() == 1 ? " has (almost) no effect of its own"
                                 : " change the calculated values in (nearly) the same way");
    all.insert(all.end(), group.begin(), group.end());
  }
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  throw RefineError(Refusal::dependent, all,
                    "the normal matrix is singular: " + groups +
                        (all.size() == 1 ? "; fix it" : "; fix or tie one of them"),
                    to_hold);
}

Eigen::MatrixXd NormalEquations::inverse() const {
  const Eigen::MatrixXd s = scale_.asDiagonal().inverse() * a_ * scale_.asDiagonal().inverse();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(s);
  const Eigen::MatrixXd inverse_s = eigen.eigenvectors() * eigen.eigenvalues().cwiseInverse().asDiagonal() *
                                    eigen.eigenvectors().transpose();
  return scale_.asDiagonal().inverse() * inverse_s * scale_.asDiagonal().inverse();
}

}  // namespace velmora::refine
