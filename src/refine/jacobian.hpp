// The model's values and their derivatives by the refined vector, as the engine
// needs them: every value checked finite, ties applied before every calculation,
// and each column either the model's own derivatives (with the chain through the
// parameters tied to it) or central differences that stay within the bounds.
#pragma once

#include <Eigen/Dense>
#include <cstddef>
#include <span>
#include <vector>

#include "refine/least_squares.hpp"
#include "refine/parameter_map.hpp"

namespace velmora::refine {

class ModelCalls {
 public:
  ModelCalls(Model& model, const ParameterMap& map);

  // p = the values of all parameters for x, y = the model at p; throws RefineError
  // (non_finite_model) naming the values when a calculated value is not finite.
  void calculate(const Eigen::VectorXd& x, std::vector<double>& p, std::vector<double>& y);
  // dy/dx (points x refined) at x, where p and y are calculate()'s latest results at x.
  void jacobian(const Eigen::VectorXd& x, const std::vector<double>& p, const std::vector<double>& y,
                Eigen::MatrixXd& j);

 private:
  void analytic_columns(const std::vector<double>& p, const std::vector<double>& y, Eigen::MatrixXd& j);
  void numeric_column(std::size_t k, const Eigen::VectorXd& x, const std::vector<double>& y,
                      Eigen::MatrixXd& j);
  double step(std::size_t k, double value) const;

  Model& model_;
  const ParameterMap& map_;
  std::vector<bool> analytic_;  // of each refined parameter: its column and those tied to it exact
  std::vector<double> scale_;   // of each refined parameter, for its difference step
  std::vector<double> p_, y_plus_, y_minus_;  // scratch
  Eigen::MatrixXd d_;  // the model's columns, kept from call to call as their size is the same
};

}  // namespace velmora::refine
