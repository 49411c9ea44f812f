// The refined vector of a refinement and the values of all its parameters: the
// refined (untied) parameters in list order form the vector the engine shifts;
// fixed ones keep their values, and every tie, chains of ties resolved, becomes
// a constant plus a linear combination of refined values.
#pragma once

#include <Eigen/Dense>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "refine/parameter.hpp"

namespace velmora::refine {

// A tied parameter's value as constant + sum coefficient * x[k] over the refined vector x.
struct ResolvedTie {
  std::size_t index = 0;  // into the parameter list
  double constant = 0;
  std::vector<std::pair<std::size_t, double>> terms;  // (position in x, coefficient)
};

class ParameterMap {
 public:
  // Checks every value, bound and tie; throws RefineError (bad_start, bad_tie) naming the parameter.
  explicit ParameterMap(const std::vector<Parameter>& parameters);

  std::size_t refined_count() const { return refined_.size(); }
  const std::vector<std::size_t>& refined() const { return refined_; }  // list index of each x[k]
  const std::vector<ResolvedTie>& ties() const { return ties_; }
  const Parameter& of(std::size_t k) const { return parameters_[refined_[k]]; }  // of x[k]
  const std::string& name(std::size_t index) const { return parameters_[index].name; }

  Eigen::VectorXd start() const;
  // The values of all parameters for the refined vector x, ties applied.
  void expand(const Eigen::VectorXd& x, std::vector<double>& p) const;
  // "cell.a = 4.1, profile.U = 0.002": the refined and tied values of p, for messages.
  std::string describe(std::span<const double> p) const;

 private:
  std::vector<Parameter> parameters_;
  std::vector<std::size_t> refined_;
  std::vector<ResolvedTie> ties_;
};

// A number as messages write it: nine significant digits, no trailing zeros, 1e-8 not 1e-08.
std::string message_number(double value);

}  // namespace velmora::refine
