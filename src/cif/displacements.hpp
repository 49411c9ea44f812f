// Atomic displacements as a CIF gives them: an isotropic U or B, or only the
// anisotropic tensor, from which velmora takes the isotropic equivalent.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <map>
#include <string>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

// Equivalent isotropic B of the sites that give only anisotropic displacements,
// by label: B_eq = 8 pi^2 U_eq, U_eq = 1/3 sum_ij U^ij a*_i a*_j (a_i . a_j),
// with U^ij read as U_ij, B_ij / (8 pi^2) or beta_ij / (2 pi^2 a*_i a*_j).
std::map<std::string, double> equivalent_b(gemmi::cif::Block& block, const CifStructure& s);

}  // namespace velmora::cif
