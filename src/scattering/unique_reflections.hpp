// Reflections merged into sets of equivalents, as a powder sample sees them,
// each with its multiplicity. Equivalents are related by the Laue group of the
// nuclear and the magnetic structure together, so reflections whose |Fm|^2
// differ because the moments lower the symmetry of the atoms are never merged;
// when an imaginary part of the scattering (f'', b'') makes F(h) and F(-h)
// differ in a structure without a centre of symmetry, by its point group.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "geometry/cell.hpp"
#include "geometry/vector3.hpp"
#include "scattering/atom_corrections.hpp"
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

// The rotations of the Laue group: the group made by -1 and the rotations of
// the operations that are symmetries of the structure, that is, that map every
// atom onto an atom of the same type, occupancy and B and every moment onto the
// moment there (or every moment onto its reverse: time reversal, which leaves
// unpolarised intensities alone). -1 stands for Friedel's law (velmora has no
// anomalous scattering); friedel false leaves it out, which gives the point
// group of the structure. Without repeats, the identity first.
std::vector<Rotation> laue_group(const Structure& s, const CellGeometry& cell,
                                 const std::vector<Vector3>& umom, const std::vector<SpaceOperation>& ops,
                                 bool friedel = true);

// The group that merges reflections of equal intensity: the Laue group, or the
// point group when the corrections give some atom an imaginary part and the
// structure has no -1 (anomalous: F(h) and F(-h) differ).
struct MergingGroup {
  std::vector<Rotation> rotations;
  bool anomalous = false;
};
MergingGroup merging_group(const Structure& s, const CellGeometry& cell, const std::vector<Vector3>& umom,
                           const std::vector<SpaceOperation>& ops, const AtomCorrections* corrections);

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
