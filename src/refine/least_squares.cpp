// The Levenberg-Marquardt iteration: each trial solves the scaled, damped normal equations,
// holds parameters on a bound that the gradient pushes outward, projects the shift onto the
// bounds and keeps it when chi2 falls; the damping follows the gain ratio rho by Nielsen's
// rule, mu *= max(1/3, 1 - (2 rho - 1)^3) after a success, mu *= nu and nu *= 2 after a
// failure (Madsen, Nielsen & Tingleff 2004, section 3.2).
#include "refine/least_squares.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "refine/jacobian.hpp"
#include "refine/normal_equations.hpp"
#include "refine/uncertainties.hpp"

namespace velmora::refine {
namespace {

Eigen::VectorXd check_data(std::size_t points, std::span<const double> observed,
                           std::span<const double> sigma) {
  if (observed.size() != points || sigma.size() != points)
    throw RefineError(Refusal::bad_data, {},
                      "the model has " + std::to_string(points) + " points but " +
                          std::to_string(observed.size()) + " observed values and " +
                          std::to_string(sigma.size()) + " sigma");
  Eigen::VectorXd w(static_cast<Eigen::Index>(points));
  for (std::size_t i = 0; i < points; ++i) {
    if (!std::isfinite(observed[i]))
      throw RefineError(Refusal::bad_data, {},
                        "the observed value at point " + std::to_string(i) + " is not finite");
    if (!(sigma[i] > 0) || !std::isfinite(1 / (sigma[i] * sigma[i])))
      throw RefineError(Refusal::bad_data, {},
                        "sigma at point " + std::to_string(i) + " is " + message_number(sigma[i]) +
                            ": it must be positive and its weight 1/sigma^2 finite");
    w[static_cast<Eigen::Index>(i)] = 1 / (sigma[i] * sigma[i]);
  }
  return w;
}

// One refinement's state: the refined vector, its model values, residuals and normal equations.
class Iteration {
 public:
  Iteration(Model& model, const ParameterMap& map, std::span<const double> observed, Eigen::VectorXd w)
      : map_(map),
        calls_(model, map),
        observed_(
            Eigen::Map<const Eigen::VectorXd>(observed.data(), static_cast<Eigen::Index>(observed.size()))),
        w_(std::move(w)) {}

  // The model and chi2 at x; linearise() then gives the Jacobian and normal equations there.
  double evaluate(const Eigen::VectorXd& x, std::vector<double>& p, std::vector<double>& y) {
    calls_.calculate(x, p, y);
    double chi2 = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
      const double r = observed_[i] - y[i];
      chi2 += w_[static_cast<Eigen::Index>(i)] * r * r;
    }
    return chi2;
  }

  void linearise(const Eigen::VectorXd& x, const std::vector<double>& p, const std::vector<double>& y) {
    calls_.jacobian(x, p, y, j_);
    const Eigen::VectorXd r = observed_ - Eigen::Map<const Eigen::VectorXd>(y.data(), j_.rows());
    normal_.build(j_, w_, r);
  }

  const NormalEquations& normal() const { return normal_; }

  // Refined parameters on a bound that the descent direction g points beyond.
  std::vector<bool> held(const Eigen::VectorXd& x) const {
    std::vector<bool> held(map_.refined_count(), false);
    for (std::size_t k = 0; k < held.size(); ++k) {
      const auto kk = static_cast<Eigen::Index>(k);
      const double g = normal_.gradient()[kk];
      held[k] = (x[kk] <= map_.of(k).lower && g < 0) || (x[kk] >= map_.of(k).upper && g > 0);
    }
    return held;
  }

  Eigen::VectorXd project(Eigen::VectorXd x) const {
    for (std::size_t k = 0; k < map_.refined_count(); ++k) {
      const auto kk = static_cast<Eigen::Index>(k);
      x[kk] = std::clamp(x[kk], map_.of(k).lower, map_.of(k).upper);
    }
    return x;
  }

 private:
  const ParameterMap& map_;
  ModelCalls calls_;
  Eigen::VectorXd observed_;
  Eigen::VectorXd w_;
  Eigen::MatrixXd j_;
  NormalEquations normal_;
};

// The largest |shift| / esd with the esd's of the matrix the shift was solved with.
double largest_shift_over_esd(const Eigen::VectorXd& shift, const NormalEquations& normal,
                              double reduced_chi2) {
  const Eigen::VectorXd inverse = normal.inverse_diagonal();
  if (inverse.size() == 0 || reduced_chi2 <= 0) return INFINITY;
  double largest = 0;
  for (Eigen::Index k = 0; k < shift.size(); ++k)
    largest = std::max(largest, std::fabs(shift[k]) / std::sqrt(inverse[k] * reduced_chi2));
  return largest;
}

}  // namespace

Result refine(Model& model, std::vector<Parameter> parameters, std::span<const double> observed,
              std::span<const double> sigma, const Options& options) {
  const ParameterMap map(parameters);
  const std::size_t points = model.points(), count = map.refined_count();
  Iteration state(model, map, observed, check_data(points, observed, sigma));
  if (points <= count)
    throw RefineError(Refusal::too_few_points, map.refined(),
                      std::to_string(points) + " points cannot determine " + std::to_string(count) +
                          " refined parameters: there must be more points than parameters");
  const double degrees = static_cast<double>(points - count);

  Result result;
  Eigen::VectorXd x = map.start();
  std::vector<double> p, y, trial_p, trial_y;
  double chi2 = state.evaluate(x, p, y);
  if (!std::isfinite(chi2))
    throw RefineError(
        Refusal::non_finite_model, map.refined(),
        "chi2 overflows at the start " + map.describe(p) + ": the calculated values are far too large");
  state.linearise(x, p, y);
  state.normal().check_determined(map, options.dependence);

  double mu = options.initial_damping, nu = 2;
  if (count == 0) {
    result.converged = true;
    result.stop_reason = "no parameter is refined";
  } else if (chi2 == 0) {
    result.converged = true;
    result.stop_reason = "chi2 is zero";
  }
  while (!result.converged && result.iterations < options.most_iterations) {
    ++result.iterations;
    Eigen::VectorXd shift;
    if (!state.normal().damped_shift(mu, state.held(x), shift)) {
      mu *= nu;
      nu *= 2;
      continue;
    }
    const Eigen::VectorXd trial = state.project(x + shift);
    shift = trial - x;
    if (shift.norm() <= options.smallest_shift * (x.norm() + options.smallest_shift)) {
      result.converged = true;
      result.stop_reason =
          "the shifts fell below " + message_number(options.smallest_shift) + " of the values";
      break;
    }
    const double trial_chi2 = state.evaluate(trial, trial_p, trial_y);
    const double actual = chi2 - trial_chi2, predicted = state.normal().predicted_decrease(shift);
    if (!(actual > 0)) {
      mu *= nu;
      nu *= 2;
      continue;
    }
    const double rho = predicted > 0 ? actual / predicted : 1;
    mu *= std::max(1.0 / 3, 1 - std::pow(2 * rho - 1, 3));
    nu = 2;
    const double shift_over_esd = largest_shift_over_esd(shift, state.normal(), chi2 / degrees);
    const double change = actual / chi2;
    x = trial;
    std::swap(p, trial_p);
    std::swap(y, trial_y);
    chi2 = trial_chi2;
    state.linearise(x, p, y);
    if (chi2 == 0) {
      result.converged = true;
      result.stop_reason = "chi2 is zero";
    } else if (change < options.chi2_tolerance) {
      result.converged = true;
      result.stop_reason = "chi2 changed by less than " + message_number(options.chi2_tolerance);
    } else if (shift_over_esd < options.shift_over_esd) {
      result.converged = true;
      result.stop_reason = "every shift was below " + message_number(options.shift_over_esd) + " of its esd";
    }
  }
  if (!result.converged) result.stop_reason = std::to_string(options.most_iterations) + " iterations";

  try {
    state.normal().check_determined(map, options.dependence);
  } catch (RefineError& e) {
    e.set_values(p);
    throw;
  }
  result.parameters = std::move(parameters);
  for (std::size_t i = 0; i < p.size(); ++i) result.parameters[i].value = p[i];
  result.calculated = y;
  result.chi2 = chi2;
  result.reduced_chi2 = chi2 / degrees;
  fill_uncertainties(result, state.normal(), map);
  for (std::size_t k = 0; k < count; ++k) {
    const double value = x[static_cast<Eigen::Index>(k)];
    if (value <= map.of(k).lower || value >= map.of(k).upper) result.at_bound.push_back(map.refined()[k]);
  }
  return result;
}

}  // namespace velmora::refine
