// Magnetic form factors given to the reflection loop from outside velmora's
// <j0> table (the companions' richer models): for some magnetic atoms a form
// factor of their own, already evaluated at every reflection. Atoms without
// one keep velmora's table row, computed exactly as velmora computes it.
#pragma once

#include <cstddef>
#include <vector>

namespace velmora {

struct GivenMagneticForms {
  static constexpr int kTableRow = -1;
  // Per magnetic atom, in input order: an index into values, or kTableRow.
  std::vector<int> form_of_atom;
  // Per given form, its value at each reflection, in input order.
  std::vector<std::vector<float>> values;
};

}  // namespace velmora
