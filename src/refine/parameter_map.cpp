// Checks a parameter list and resolves its ties: each tie is followed through
// tied parameters down to refined and fixed ones (a cycle is refused), so that
// applying ties is one pass and a refined parameter's derivative through the
// parameters tied to it is a sum of known coefficients.
#include "refine/parameter_map.hpp"

#include <cmath>
#include <cstdio>

#include "refine/refine_error.hpp"

namespace velmora::refine {
namespace {

[[noreturn]] void refuse(Refusal refusal, std::size_t index, const std::string& text) {
  throw RefineError(refusal, {index}, text);
}

void check_values(const std::vector<Parameter>& parameters) {
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const Parameter& q = parameters[i];
    if (std::isnan(q.lower) || std::isnan(q.upper) || q.lower > q.upper)
      refuse(Refusal::bad_start, i,
             q.name + ": the bounds " + message_number(q.lower) + " to " + message_number(q.upper) +
                 " do not make a range");
    if (q.tie) continue;
    if (!std::isfinite(q.value)) refuse(Refusal::bad_start, i, q.name + ": the start value is not finite");
    if (q.value < q.lower || q.value > q.upper)
      refuse(Refusal::bad_start, i,
             q.name + ": the start value " + message_number(q.value) + " lies outside its bounds " +
                 message_number(q.lower) + " to " + message_number(q.upper));
    if (q.refined && q.lower == q.upper)
      refuse(Refusal::bad_start, i, q.name + ": its bounds leave it no room to move; fix it instead");
    if (!(q.step >= 0) || !std::isfinite(q.step))
      refuse(Refusal::bad_start, i,
             q.name + ": the derivative step " + message_number(q.step) +
                 " is not a finite positive number (0: chosen)");
  }
}

// Resolves ties depth first; state: 0 not seen, 1 being resolved, 2 resolved into dense[i].
class TieResolver {
 public:
  TieResolver(const std::vector<Parameter>& parameters, const std::vector<std::ptrdiff_t>& position)
      : parameters_(parameters),
        position_(position),
        state_(parameters.size(), 0),
        constant_(parameters.size(), 0.0),
        dense_(parameters.size()) {}

  void resolve(std::size_t i) {
    if (state_[i] == 2) return;
    if (state_[i] == 1) refuse(Refusal::bad_tie, i, parameters_[i].name + ": its tie leads back to itself");
    state_[i] = 1;
    const Tie& tie = *parameters_[i].tie;
    if (!std::isfinite(tie.offset))
      refuse(Refusal::bad_tie, i, parameters_[i].name + ": the tie's offset is not finite");
    std::vector<double> terms(count_refined(), 0.0);
    double constant = tie.offset;
    for (const auto& [j, coefficient] : tie.terms) {
      if (j >= parameters_.size())
        refuse(Refusal::bad_tie, i,
               parameters_[i].name + ": the tie refers to parameter " + std::to_string(j) + " of " +
                   std::to_string(parameters_.size()));
      if (!std::isfinite(coefficient))
        refuse(Refusal::bad_tie, i,
               parameters_[i].name + ": the tie's coefficient of " + parameters_[j].name + " is not finite");
      if (parameters_[j].tie) {
        resolve(j);
        constant += coefficient * constant_[j];
        for (std::size_t k = 0; k < terms.size(); ++k) terms[k] += coefficient * dense_[j][k];
      } else if (position_[j] >= 0) {
        terms[static_cast<std::size_t>(position_[j])] += coefficient;
      } else {
        constant += coefficient * parameters_[j].value;
      }
    }
    constant_[i] = constant;
    dense_[i] = std::move(terms);
    state_[i] = 2;
  }

  ResolvedTie resolved(std::size_t i) const {
    ResolvedTie tie{i, constant_[i], {}};
    for (std::size_t k = 0; k < dense_[i].size(); ++k)
      if (dense_[i][k] != 0) tie.terms.emplace_back(k, dense_[i][k]);
    return tie;
  }

 private:
  std::size_t count_refined() const {
    std::size_t n = 0;
    for (std::ptrdiff_t p : position_) n += p >= 0;
    return n;
  }

  const std::vector<Parameter>& parameters_;
  const std::vector<std::ptrdiff_t>& position_;
  std::vector<int> state_;
  std::vector<double> constant_;
  std::vector<std::vector<double>> dense_;
};

}  // namespace

std::string message_number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  // 1e-08 as 1e-8.
  std::string number = text;
  const std::size_t e = number.find('e');
  if (e != std::string::npos && e + 2 < number.size() && number[e + 2] == '0') number.erase(e + 2, 1);
  if (e != std::string::npos && number[e + 1] == '+') number.erase(e + 1, 1);
  return number;
}

ParameterMap::ParameterMap(const std::vector<Parameter>& parameters) : parameters_(parameters) {
  check_values(parameters_);
  std::vector<std::ptrdiff_t> position(parameters_.size(), -1);
  for (std::size_t i = 0; i < parameters_.size(); ++i)
    if (parameters_[i].refined && !parameters_[i].tie) {
      position[i] = static_cast<std::ptrdiff_t>(refined_.size());
      refined_.push_back(i);
    }
  TieResolver resolver(parameters_, position);
  for (std::size_t i = 0; i < parameters_.size(); ++i)
    if (parameters_[i].tie) {
      resolver.resolve(i);
      ties_.push_back(resolver.resolved(i));
    }
}

Eigen::VectorXd ParameterMap::start() const {
  Eigen::VectorXd x(static_cast<Eigen::Index>(refined_.size()));
  for (std::size_t k = 0; k < refined_.size(); ++k)
    x[static_cast<Eigen::Index>(k)] = parameters_[refined_[k]].value;
  return x;
}

void ParameterMap::expand(const Eigen::VectorXd& x, std::vector<double>& p) const {
  p.resize(parameters_.size());
  for (std::size_t i = 0; i < parameters_.size(); ++i) p[i] = parameters_[i].value;
  for (std::size_t k = 0; k < refined_.size(); ++k) p[refined_[k]] = x[static_cast<Eigen::Index>(k)];
  for (const ResolvedTie& tie : ties_) {
    double value = tie.constant;
    for (const auto& [k, coefficient] : tie.terms) value += coefficient * x[static_cast<Eigen::Index>(k)];
    p[tie.index] = value;
  }
}

std::string ParameterMap::describe(std::span<const double> p) const {
  std::string text;
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    if (!parameters_[i].refined && !parameters_[i].tie) continue;
    if (!text.empty()) text += ", ";
    text += parameters_[i].name + " = " + message_number(p[i]);
  }
  return text;
}

}  // namespace velmora::refine
