// The whole pattern and its derivatives are computed as ever, and the rows of
// the fitted points taken from them: a left-out point costs its computation,
// but the model needs no notion of which points are fitted.
#include "rietveld/fitted_points.hpp"

namespace velmora::rietveld {

FittedPoints::FittedPoints(refine::Model& whole, const std::vector<bool>& excluded) : whole_(whole) {
  for (std::size_t i = 0; i < whole.points(); ++i)
    if (excluded.empty() || !excluded[i]) kept_.push_back(i);
  whole_y_.resize(whole.points());
}

void FittedPoints::calculate(std::span<const double> p, std::span<double> y) {
  whole_.calculate(p, whole_y_);
  for (std::size_t k = 0; k < kept_.size(); ++k) y[k] = whole_y_[kept_[k]];
}

void FittedPoints::derivatives(std::span<const double> p, std::span<const double> /*y*/,
                               std::span<const std::size_t> columns, Eigen::Ref<Eigen::MatrixXd> d) {
  // whole_y_ is the pattern at p: calculate() was last called there.
  whole_d_.setZero(static_cast<Eigen::Index>(whole_.points()), static_cast<Eigen::Index>(columns.size()));
  whole_.derivatives(p, whole_y_, columns, whole_d_);
  for (std::size_t k = 0; k < kept_.size(); ++k)
    d.row(static_cast<Eigen::Index>(k)) = whole_d_.row(static_cast<Eigen::Index>(kept_[k]));
}

std::vector<double> FittedPoints::kept(std::span<const double> all) const {
  std::vector<double> values;
  values.reserve(kept_.size());
  for (std::size_t i : kept_) values.push_back(all[i]);
  return values;
}

std::vector<double> FittedPoints::whole(std::span<const double> p) {
  std::vector<double> y(whole_.points());
  whole_.calculate(p, y);
  return y;
}

}  // namespace velmora::rietveld
