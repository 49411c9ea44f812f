// Weighted non-linear least squares for refinements of many parameters:
// Levenberg-Marquardt with Marquardt's scaling by the diagonal of the normal
// matrix (D. W. Marquardt, J. Soc. Indust. Appl. Math. 11 (1963) 431) and the
// damping adapted by the gain ratio as Madsen, Nielsen & Tingleff give it
// ("Methods for non-linear least squares problems", 2nd ed., DTU 2004, section 3.2).
#pragma once

#include <Eigen/Dense>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "refine/parameter.hpp"
#include "refine/refine_error.hpp"

namespace velmora::refine {

// What is refined: a calculated value at each of points() points from the values of all
// parameters. The engine calls it from one thread; calculate() may share its work among
// threads of its own as long as the numbers do not depend on their count.
class Model {
 public:
  virtual ~Model() = default;
  virtual std::size_t points() const = 0;
  // y[i] at every point for the values p of all parameters (refined, fixed and tied).
  virtual void calculate(std::span<const double> p, std::span<double> y) = 0;
  // Whether derivatives() gives the derivative of y by parameter j exactly.
  virtual bool analytic(std::size_t /*j*/) const { return false; }
  // Column c of d (points x columns.size()) = dy/dp_{columns[c]} at p, for analytic columns only.
  // y is calculate()'s result at p (so a model can reuse its work). d arrives filled with zeros,
  // and calculate() was last called at p.
  virtual void derivatives(std::span<const double> /*p*/, std::span<const double> /*y*/,
                           std::span<const std::size_t> /*columns*/, Eigen::Ref<Eigen::MatrixXd> /*d*/) {}
};

struct Options {
  int most_iterations = 50;      // trial steps, accepted or not
  double chi2_tolerance = 1e-8;  // relative change of chi2 that ends it
  double shift_over_esd = 0.01;  // largest |shift|/esd that ends it
  // The first damping, relative to the (unit) diagonal of the scaled normal matrix:
  // small for a start near the answer (Madsen, Nielsen & Tingleff's tau).
  double initial_damping = 1e-3;
  // Shifts below this fraction of the values (plus itself) end it: no step can lower chi2.
  double smallest_shift = 1e-12;
  // The smallest eigenvalue of the scaled normal matrix, relative to its largest, below which
  // the parameters are taken as linearly dependent.
  double dependence = 1e-12;
};

struct Correlation {
  std::size_t first, second;  // indices into the parameter list
  double value;
};

struct Result {
  std::vector<Parameter> parameters;  // refined values; ties applied
  std::vector<double> esd;      // standard uncertainty of every parameter (0 for fixed; propagated for tied)
  Eigen::MatrixXd correlation;  // between refined parameters, in the order of refined_indices
  std::vector<std::size_t> refined_indices;
  std::vector<Correlation> high_correlations;  // |value| > 0.9, between refined parameters
  std::vector<double> calculated;              // y at the result
  double chi2 = 0;                             // sum w (y_obs - y_calc)^2
  double reduced_chi2 = 0;                     // chi2 / (N - P)
  int iterations = 0;
  bool converged = false;
  std::string stop_reason;  // in words, for the report: "chi2 changed by less than 1e-8", "50 iterations"
  std::vector<std::size_t> at_bound;  // refined parameters that ended on a bound (indices into parameters)
};

// Weighted non-linear least squares, weights w_i = 1/sigma_i^2. Throws RefineError when the
// problem is ill-posed (refine_error.hpp) instead of returning a value that is not finite.
Result refine(Model& model, std::vector<Parameter> parameters, std::span<const double> observed,
              std::span<const double> sigma, const Options& options = {});

}  // namespace velmora::refine
