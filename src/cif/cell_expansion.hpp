// Every atom of the cell from the atom sites and the symmetry operations. A
// site within kCoincidence of a special position is placed exactly on it (the
// average of its images under the operations that keep it there, its moment
// averaged alike) and gives its true multiplicity, positions reduced to
// [0, 1). A moment turns with each image as an axial vector: the rotation
// times its determinant, times the time reversal.
#pragma once

#include <array>
#include <cstddef>
#include <gemmi/math.hpp>
#include <gemmi/unitcell.hpp>
#include <vector>

#include "cif/cif_structure.hpp"
#include "cif/conversion_error.hpp"

namespace velmora::cif {

// Images of one site closer than this (in angstroms) are one atom: the site
// sits on a special position that the file's rounded coordinates miss by a
// little. No two images of one real site come this close.
inline constexpr double kCoincidence = 0.05;

struct CellAtom {
  std::size_t site = 0;         // index of its site in CifStructure::sites
  std::array<double, 3> xyz{};  // fractional, each in [0, 1)
  gemmi::Vec3 moment;           // Cartesian (x along a, z along c*), Bohr magnetons
};

// The moment of components m along a/|a|, b/|b|, c/|c| in the Cartesian frame.
gemmi::Vec3 cartesian_moment(const gemmi::UnitCell& cell, const std::array<double, 3>& m);

// The atoms of the cell, site after site, each site's images in the order of
// the operations (which must form a group). Images of a magnetic site that
// coincide with different moments end the conversion: the moment breaks the
// symmetry of its site.
std::vector<CellAtom> expand_cell(const CifStructure& s, Warnings& warnings);

}  // namespace velmora::cif
