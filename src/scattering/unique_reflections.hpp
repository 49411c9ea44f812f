// Reflections merged into sets of equivalents, as a powder sample sees them:
// one set per distinct intensity by symmetry, with its multiplicity. Two h k l
// are equivalent when a rotation of the Laue group of the structure takes one
// into the other. That group comes from the symmetry operations the structure
// was built with, keeping only those that map every atom onto an atom of the
// same kind and every moment onto the moment found there (or every moment onto
// its reverse: time reversal, which leaves unpolarised intensities alone), so
// that it belongs to the nuclear and the magnetic structure together; the
// inversion is added (Friedel's law: velmora has no anomalous scattering).
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "geometry/cell.hpp"
#include "geometry/vector3.hpp"
#include "structure/structure.hpp"

namespace velmora {

using Rotation = std::array<std::array<int, 3>, 3>;  // acts on fractional coordinates

// x' = rot x + tran, in fractions of the cell edges.
struct SpaceOperation {
  Rotation rot{};
  std::array<double, 3> tran{};
};

// Atoms closer than this fraction of an edge are one (coordinates written with
// four decimals in an answer file still match their images); occupancy and B
// match to this relative difference, moments to this many Bohr magnetons.
inline constexpr double kSamePosition = 1e-3;
inline constexpr double kSameValue = 1e-4;
inline constexpr double kSameMoment = 1e-2;

// The rotations of the Laue group: the group made by the rotations of the
// operations that are symmetries of the structure (atoms, occupancies, B,
// moments) and -1, without repeats, the identity first. No operations: -1.
std::vector<Rotation> laue_group(const Structure& s, const CellGeometry& cell, const std::vector<Vector3>& umom,
                                 const std::vector<SpaceOperation>& ops);

struct EquivalentSet {
  std::size_t representative = 0;  // index in the list: the greatest listed h k l of the set
  std::size_t multiplicity = 0;    // distinct h k l in the whole set
  std::size_t listed = 0;          // how many of them the list holds
};

// The sets of equivalents among the listed reflections, in the order in which
// each set first appears in the list. An h k l listed twice counts once.
std::vector<EquivalentSet> unique_reflections(const std::vector<Reflection>& hkl,
                                              const std::vector<Rotation>& laue);

}  // namespace velmora
