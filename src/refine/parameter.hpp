// A refinable value as refinement programs keep it: a dotted name, a value,
// bounds, a refine flag, or a linear tie to other parameters. The engine
// (least_squares.hpp) knows parameters only by these fields and their index.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::refine {

// A linear tie: value = offset + sum of coefficient * value of another parameter (by index).
// The others may be refined, fixed or tied themselves (no cycle).
struct Tie {
  std::vector<std::pair<std::size_t, double>> terms;
  double offset = 0;
};

struct Parameter {
  std::string name;  // dotted, as reports name it: "cell.a", "profile.U", "background.3"
  double value = 0;  // the starting value; the refined one in the result
  // Bounds hold a refined parameter and are checked against a fixed one's value; a tied
  // parameter follows its tie wherever it leads.
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
  bool refined = false;
  std::optional<Tie> tie;  // a tied parameter is never refined itself; it follows the others
  double step = 0;         // finite-difference step; 0: chosen from the value and its scale
};

// A parameter of a name and value, refined or not, within bounds.
inline Parameter named(std::string name, double value, bool refined,
                       double lower = -std::numeric_limits<double>::infinity(),
                       double upper = std::numeric_limits<double>::infinity()) {
  Parameter p;
  p.name = std::move(name);
  p.value = value;
  p.refined = refined;
  p.lower = lower;
  p.upper = upper;
  return p;
}

}  // namespace velmora::refine
