// Everything a run knows, from the first table row to the last report row,
// grouped by the phase that fills it. Each phase writes only its own group
// and reads those of earlier phases.
#pragma once

#include <vector>

#include "geometry/cell.hpp"
#include "geometry/vector3.hpp"
#include "scattering/atom_corrections.hpp"
#include "structure/structure.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {

// The run's value of pi (bits 0x40490FDB) is the only pi anywhere: 2 pi is
// formed as pi + pi and 4 pi as pi * 4.
inline constexpr float kPi = 3.14159274f;
// Magnetic scattering amplitude of one Bohr magneton, e^2 gamma / (2 m c^2),
// in 10^-12 cm (bits 0x3E8A3D71).
inline constexpr float kEg2mc = 0.27f;

struct RunState {
  ScatteringTables tables;
  float pi = 0.0f;
  float eg2mc = 0.0f;
  Structure structure;
  CellGeometry cell;
  std::vector<Vector3> umom;  // unit vector of each magnetic moment
  // A companion's corrections to the free-atom scattering; velmora's run has none.
  AtomCorrections corrections;
  const AtomCorrections* corrections_given() const { return corrections.empty() ? nullptr : &corrections; }
};

}  // namespace velmora
