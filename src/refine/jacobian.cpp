// Derivatives of the calculated values by the refined parameters. Central
// differences (error of order step^2) with a step of 1e-6 of the value, or of its
// scale when the value is near zero; at a bound the difference is one-sided into
// the allowed range, since the model may not be defined beyond it.
#include "refine/jacobian.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "refine/refine_error.hpp"

namespace velmora::refine {
namespace {

// Relative difference step: about the cube root of the double precision
// (6e-6) balances the truncation error of a central difference against rounding.
constexpr double relative_step = 1e-6;

// The size a parameter's values have: its start, else the width of its bounds, else 1.
double typical_size(const Parameter& q) {
  if (q.value != 0) return std::fabs(q.value);
  if (std::isfinite(q.upper - q.lower)) return std::min(1.0, q.upper - q.lower);
  return 1.0;
}

}  // namespace

ModelCalls::ModelCalls(Model& model, const ParameterMap& map) : model_(model), map_(map) {
  const std::size_t count = map.refined_count();
  analytic_.assign(count, false);
  scale_.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    analytic_[k] = model.analytic(map.refined()[k]);
    scale_[k] = typical_size(map.of(k));
  }
  for (const ResolvedTie& tie : map.ties())
    for (const auto& [k, coefficient] : tie.terms)
      if (!model.analytic(tie.index)) analytic_[k] = false;
}

void ModelCalls::calculate(const Eigen::VectorXd& x, std::vector<double>& p, std::vector<double>& y) {
  map_.expand(x, p);
  y.resize(model_.points());
  model_.calculate(p, y);
  for (std::size_t i = 0; i < y.size(); ++i)
    if (!std::isfinite(y[i]))
      throw RefineError(
          Refusal::non_finite_model, map_.refined(),
          "the model's value at point " + std::to_string(i) + " is not finite for " + map_.describe(p));
}

double ModelCalls::step(std::size_t k, double value) const {
  const double given = map_.of(k).step;
  return given > 0 ? given : relative_step * std::max(std::fabs(value), scale_[k]);
}

void ModelCalls::jacobian(const Eigen::VectorXd& x, const std::vector<double>& p,
                          const std::vector<double>& y, Eigen::MatrixXd& j) {
  j.resize(static_cast<Eigen::Index>(y.size()), static_cast<Eigen::Index>(map_.refined_count()));
  // The model's derivatives come first, while its latest calculation is still the one at p.
  analytic_columns(p, y, j);
  for (std::size_t k = 0; k < map_.refined_count(); ++k)
    if (!analytic_[k]) numeric_column(k, x, y, j);
}

void ModelCalls::analytic_columns(const std::vector<double>& p, const std::vector<double>& y,
                                  Eigen::MatrixXd& j) {
  // The columns asked for: each analytic refined parameter and every parameter tied to it.
  std::vector<std::size_t> columns;
  std::vector<std::ptrdiff_t> column_of(p.size(), -1);
  auto ask = [&](std::size_t index) {
    if (column_of[index] < 0) {
      column_of[index] = static_cast<std::ptrdiff_t>(columns.size());
      columns.push_back(index);
    }
  };
  for (std::size_t k = 0; k < map_.refined_count(); ++k)
    if (analytic_[k]) ask(map_.refined()[k]);
  for (const ResolvedTie& tie : map_.ties())
    for (const auto& [k, coefficient] : tie.terms)
      if (analytic_[k]) ask(tie.index);
  if (columns.empty()) return;

  d_.setZero(j.rows(), static_cast<Eigen::Index>(columns.size()));
  Eigen::MatrixXd& d = d_;
  model_.derivatives(p, y, columns, d);
  for (Eigen::Index c = 0; c < d.cols(); ++c)
    for (Eigen::Index i = 0; i < d.rows(); ++i)
      if (!std::isfinite(d(i, c)))
        throw RefineError(Refusal::non_finite_model, {columns[static_cast<std::size_t>(c)]},
                          "the model's derivative by " + map_.name(columns[static_cast<std::size_t>(c)]) +
                              " at point " + std::to_string(i) + " is not finite for " + map_.describe(p));
  for (std::size_t k = 0; k < map_.refined_count(); ++k)
    if (analytic_[k]) j.col(static_cast<Eigen::Index>(k)) = d.col(column_of[map_.refined()[k]]);
  for (const ResolvedTie& tie : map_.ties())
    for (const auto& [k, coefficient] : tie.terms)
      if (analytic_[k]) j.col(static_cast<Eigen::Index>(k)) += coefficient * d.col(column_of[tie.index]);
}

void ModelCalls::numeric_column(std::size_t k, const Eigen::VectorXd& x, const std::vector<double>& y,
                                Eigen::MatrixXd& j) {
  const auto kk = static_cast<Eigen::Index>(k);
  const Parameter& q = map_.of(k);
  const double value = x[kk], h = step(k, value);
  const bool up = value + h <= q.upper, down = value - h >= q.lower;
  // Within the bounds: both sides; at a bound, the side with room (the larger one when
  // the range is narrower than the step).
  double high = up ? value + h : value, low = down ? value - h : value;
  if (!up && !down) {
    if (q.upper - value >= value - q.lower)
      high = q.upper;
    else
      low = q.lower;
  }
  Eigen::VectorXd shifted = x;
  const std::vector<double>* plus = &y;
  const std::vector<double>* minus = &y;
  if (high != value) {
    shifted[kk] = high;
    calculate(shifted, p_, y_plus_);
    plus = &y_plus_;
  }
  if (low != value) {
    shifted[kk] = low;
    calculate(shifted, p_, y_minus_);
    minus = &y_minus_;
  }
  const double span = high - low;  // the representable difference, not the nominal step
  for (std::size_t i = 0; i < y.size(); ++i)
    j(static_cast<Eigen::Index>(i), kk) = ((*plus)[i] - (*minus)[i]) / span;
}

}  // namespace velmora::refine
