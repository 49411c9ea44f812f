// The normal equations of weighted least squares, A = J' W J and g = J' W r,
// solved with the columns scaled by the square root of A's diagonal (Marquardt's
// scaling), so that the damping and the tests of singularity do not depend on
// the units of the parameters.
#pragma once

#include <Eigen/Dense>
#include <cstddef>
#include <vector>

#include "refine/parameter_map.hpp"

namespace velmora::refine {

class NormalEquations {
 public:
  // From the Jacobian j, the weights w and the residuals r = observed - calculated.
  void build(const Eigen::MatrixXd& j, const Eigen::VectorXd& w, const Eigen::VectorXd& r);

  const Eigen::MatrixXd& matrix() const { return a_; }
  const Eigen::VectorXd& gradient() const { return g_; }  // minus half the gradient of chi2

  // The shift h of (A + mu diag(A)) h = g over the parameters not held (held ones get 0);
  // false when the damped matrix cannot be factorised.
  bool damped_shift(double mu, const std::vector<bool>& held, Eigen::VectorXd& h) const;
  // The decrease of chi2 that the linear model predicts for the shift h: 2 h'g - h'A h.
  double predicted_decrease(const Eigen::VectorXd& h) const;
  // The diagonal of A's inverse, when A is positive definite; empty otherwise.
  Eigen::VectorXd inverse_diagonal() const;

  // Refuses (RefineError) a refined parameter whose column is zero (no_effect) and
  // parameters that are linearly dependent (dependent), naming them; tolerance is the
  // smallest eigenvalue of the scaled matrix, relative to its largest, still independent.
  void check_determined(const ParameterMap& map, double tolerance) const;
  // A's inverse, after check_determined().
  Eigen::MatrixXd inverse() const;

 private:
  Eigen::MatrixXd a_;
  Eigen::VectorXd g_;
  Eigen::VectorXd scale_;  // sqrt(diag A), 1 for a zero column
};

}  // namespace velmora::refine
