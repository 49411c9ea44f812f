// Whether symmetry operations fit a cell: a rotation W of the lattice is a
// symmetry of it only when it keeps the metric tensor, W^T G W = G. A symbol
// of another crystal system (a cubic group on a monoclinic cell) fails this.
#pragma once

#include <gemmi/unitcell.hpp>
#include <string>
#include <vector>

#include "cif/symmetry_operation.hpp"

namespace velmora::cif {

// Each element of W^T G W may differ from that of G by this fraction of
// sqrt(G_ii G_jj): cells rounded in the file (a and b of a tetragonal cell
// a little apart, 119.99 for 120 degrees) pass, other crystal systems do not.
inline constexpr double kMetricTolerance = 0.01;

// The first operation whose rotation does not keep the cell's metric within
// kMetricTolerance, or null when all do.
const SymmetryOperation* operation_off_metric(const std::vector<SymmetryOperation>& ops,
                                              const gemmi::UnitCell& cell);

// The cell as messages name it: a=9.88 b=12.69 c=14.13 alpha=90 beta=92.99 gamma=90.
std::string cell_text(const gemmi::UnitCell& cell);

}  // namespace velmora::cif
