// Why a refinement cannot be done or cannot give a finite answer, as a value:
// the kind of refusal, the parameters it concerns (by index) and a message
// that names them, so that a program can report it and a caller act on it.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velmora::refine {

enum class Refusal {
  bad_start,        // a value not finite or outside its bounds, bounds that leave no room
  bad_tie,          // a tie to a parameter that does not exist, or a cycle of ties
  bad_data,         // observed or sigma of the wrong length, not finite, sigma not positive
  too_few_points,   // no more points than refined parameters
  no_effect,        // a refined parameter whose derivative is zero at every point
  dependent,        // the normal matrix is singular: some parameters are linearly dependent
  non_finite_model  // the model gave a value or a derivative that is not finite
};

class RefineError : public std::runtime_error {
 public:
  RefineError(Refusal refusal, std::vector<std::size_t> parameters, const std::string& message,
              std::vector<std::size_t> to_hold = {})
      : std::runtime_error(message),
        refusal_(refusal),
        parameters_(std::move(parameters)),
        to_hold_(std::move(to_hold)) {}
  Refusal refusal() const { return refusal_; }
  // The parameters concerned, as indices into the refinement's parameter list.
  const std::vector<std::size_t>& parameters() const { return parameters_; }
  // For dependent parameters: one of each dependency, the one that takes the
  // largest part in it, whose holding fixed leaves the others determined.
  const std::vector<std::size_t>& to_hold() const { return to_hold_; }
  // Every parameter's value where the refusal came, when it came after the
  // refinement had moved them (empty: at the start).
  const std::vector<double>& values() const { return values_; }
  void set_values(std::vector<double> values) { values_ = std::move(values); }

 private:
  Refusal refusal_;
  std::vector<std::size_t> parameters_;
  std::vector<std::size_t> to_hold_;
  std::vector<double> values_;
};

}  // namespace velmora::refine
