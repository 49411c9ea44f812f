// Which components of a magnetic site's moment a refinement may change
// without breaking the magnetic symmetry, found from the operations that keep
// the site: a moment is an axial vector, so an operation of rotation R and
// time reversal t turns its components along the cell's edges into
// det(R) t R m, and the moment an operation keeps satisfies (det(R) t R - I) m = 0.
// On a site of -1 every direction is free; on a mirror of Pnma the moment
// stands along the mirror's normal, or in its plane when the mirror reverses
// time. Each atom of the cell follows its site's moment through the operation
// that made it.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "model/crystal.hpp"
#include "rietveld/site_freedom.hpp"

namespace velmora::rietveld {

using Matrix3 = std::array<std::array<double, 3>, 3>;

// One atom of a magnetic site: its moment in Cartesian components is
// cartesian times the site's moment components.
struct MomentImage {
  std::size_t atom = 0;  // index in Crystal::atoms
  Matrix3 cartesian{};
};

struct MomentFreedom : ComponentFreedom {
  // The site's moment as its atoms hold it, in Bohr magnetons along a/|a|,
  // b/|b|, c/|c| (the components of a magnetic CIF), ties applied.
  std::array<double, 3> start{};
  Matrix3 cartesian{};  // the site's Cartesian moment of those components
  std::vector<MomentImage> images;

  // The moment's size in Bohr magnetons at components m, and its derivatives by them.
  double size(const std::array<double, 3>& m, std::array<double, 3>& gradient) const;
  // The site's atoms given the moment of components m.
  void move_atoms(const std::array<double, 3>& m, std::vector<CrystalAtom>& atoms) const;
};

// The names of a moment's components in parameter names.
inline constexpr std::array<const char*, 3> kMomentComponentNames = {"mx", "my", "mz"};

// A moment of Cartesian components m along a/|a|, b/|b|, c/|c|.
std::array<double, 3> axis_components(const CellParameters& cell, const std::array<double, 3>& m);

// The moment freedom of every site of the crystal, in site order, from the
// sites' freedoms (site_freedoms); a site that is not magnetic has every
// component fixed and no images.
std::vector<MomentFreedom> moment_freedoms(const Crystal& crystal, const std::vector<SiteFreedom>& sites);

}  // namespace velmora::rietveld
