// Atomic displacements as a CIF gives them: an isotropic U or B, or only the
// anisotropic tensor, from which velmora takes the isotropic equivalent.
#pragma once

#include <array>
#include <gemmi/cifdoc.hpp>
#include <map>
#include <string>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

struct AnisotropicDisplacement {
  std::array<double, 6> u{};  // U11 U22 U33 U12 U13 U23, square angstroms
  double b_eq = 0;            // the isotropic equivalent, in single precision
};

// The anisotropic displacements of the sites that give them, by label, with
// U^ij read as U_ij, B_ij / (8 pi^2) or beta_ij / (2 pi^2 a*_i a*_j), and the
// isotropic equivalent B_eq = 8 pi^2 U_eq, U_eq = 1/3 sum_ij U^ij a*_i a*_j (a_i . a_j).
std::map<std::string, AnisotropicDisplacement> anisotropic_displacements(gemmi::cif::Block& block,
                                                                         const CifStructure& s);

}  // namespace velmora::cif
