// Which lattice parameters a refinement may change without breaking the
// crystal's symmetry: a cubic cell refines a alone (b and c follow it, the
// angles stay 90 degrees), a hexagonal one a and c, a rhombohedral one in
// rhombohedral axes a and alpha. Found from the symmetry operations
// themselves, so any setting of any group gets its own constraints.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "model/symmetry_operation.hpp"

namespace velmora::rietveld {

// The six lattice parameters in the order a b c alpha beta gamma.
inline constexpr std::array<const char*, 6> kCellNames = {"a", "b", "c", "alpha", "beta", "gamma"};

struct CellFreedom {
  enum class Kind { free, tied, fixed };
  std::array<Kind, 6> kind{};
  // For a tied parameter j: value_j = sum over free k of follows[j][k] * value_k
  // plus the constant that keeps the starting cell (b = a, or alpha = beta).
  std::array<std::array<double, 6>, 6> follows{};
  // How the constraints were found, for the report: "the 48 operations of the
  // structure", or for a cell without operations the rule its values were read by.
  std::string basis;

  int free_count() const;
};

// The freedom the operations leave the cell: every rotation R keeps the
// metric tensor, R^T G R = G, and a change of the parameters may only move G
// within the tensors that every R keeps. Without operations the cell's own
// values decide: edges equal to an earlier edge stay equal to it, angles of
// exactly 90 or 120 degrees stay, equal angles stay equal.
CellFreedom cell_freedom(const CellParameters& cell, const std::vector<SymmetryOperation>& operations);

}  // namespace velmora::rietveld
