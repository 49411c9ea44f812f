// The measured points a refinement fits, when some are left out (--exclude):
// the pattern seen at those points alone, so that the engine's residuals, its
// chi2 and the count N of N - P cover them only, while the pattern itself (the
// range of its Chebyshev background among it) stays that of the whole
// measurement.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "refine/least_squares.hpp"

namespace velmora::rietveld {

class FittedPoints : public refine::Model {
 public:
  // The points of `whole` not marked in excluded (empty: every point); whole
  // must outlive this.
  FittedPoints(refine::Model& whole, const std::vector<bool>& excluded);
  std::size_t points() const override { return kept_.size(); }
  void calculate(std::span<const double> p, std::span<double> y) override;
  bool analytic(std::size_t j) const override { return whole_.analytic(j); }
  void derivatives(std::span<const double> p, std::span<const double> y, std::span<const std::size_t> columns,
                   Eigen::Ref<Eigen::MatrixXd> d) override;

  // The values at the fitted points of a list over every point.
  std::vector<double> kept(std::span<const double> all) const;
  // The pattern at every point for the parameters p.
  std::vector<double> whole(std::span<const double> p);

 private:
  refine::Model& whole_;
  std::vector<std::size_t> kept_;  // the fitted points' indices among all
  std::vector<double> whole_y_;    // the last calculate's pattern at every point
  Eigen::MatrixXd whole_d_;
};

}  // namespace velmora::rietveld
