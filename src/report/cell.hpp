// The cell geometry block of velmora's output: the Cartesian cell, the cross
// products of its edges, the three volumes and the reciprocal cell, written
// from the values compute_cell_geometry stored.
#pragma once

#include "geometry/cell.hpp"
#include "geometry/vector3.hpp"

namespace velmora {

struct Console;

// Prints its four blocks: Cartesian cell, cross products, the three volumes,
// reciprocal cell.
void write_cell_geometry(Console& console, const CellGeometry& cell);

// The fixed layout of one vector: three fields of width 8 with 4 decimals.
void write_vector_row(Console& console, const Vector3& v);

}  // namespace velmora
