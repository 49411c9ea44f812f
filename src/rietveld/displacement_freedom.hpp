// Which of a site's anisotropic displacements U11 U22 U33 U12 U13 U23 a
// refinement may change without breaking the crystal's symmetry, found from
// the operations that keep the site: with C = <dx dx'> the covariance of the
// fractional displacements (C_ij = U_ij a*_i a*_j), an atom moved by an
// operation of rotation R has R C R', so the operations that keep the site
// must keep C. On a general position all six are free; on a four-fold axis
// U11 = U22 and U12 = U13 = U23 = 0; on a three-fold axis along c of a
// hexagonal cell U22 = U11 and U12 = U11 / 2. Each atom of the cell follows
// its site through the operation that made it.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "model/crystal.hpp"
#include "rietveld/site_freedom.hpp"

namespace velmora::rietveld {

using Covariance = std::array<std::array<double, 3>, 3>;  // <dx dx'>, fractional

// The names of the six in parameter names, in their order.
inline constexpr std::array<const char*, 6> kDisplacementNames = {"u11", "u22", "u33", "u12", "u13", "u23"};

struct DisplacementFreedom : LinearFreedom<6> {
  std::array<double, 6> start{};  // the site's U_ij as given, the symmetry's ties and zeros applied
  struct Image {
    std::size_t atom = 0;  // index in Crystal::atoms
    std::array<std::array<int, 3>, 3> rot{};
  };
  std::vector<Image> images;
};

// The freedom of a site's U_ij from its freedom of position (site_freedoms),
// starting from u.
DisplacementFreedom displacement_freedom(const Crystal& crystal, const SiteFreedom& site,
                                         const std::array<double, 6>& u);

// The covariance of fractional displacements of U_ij in the cell, and its isotropic equivalent B.
Covariance covariance_of(const CellParameters& cell, const std::array<double, 6>& u);
double equivalent_b(const CellParameters& cell, const std::array<double, 6>& u);

// The covariance of an atom that an operation of rotation rot made of a site of covariance c.
Covariance turned(const std::array<std::array<int, 3>, 3>& rot, const Covariance& c);

// The B that gives reflection h the Debye-Waller factor exp(-2 pi^2 h' C h) of
// covariance c: exp(-B s^2) with s = 1 / 2d, so B = 8 pi^2 h' C h d^2.
double effective_b(const CellParameters& cell, const Covariance& c, const std::array<double, 3>& h);

}  // namespace velmora::rietveld
