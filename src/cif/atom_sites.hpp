// The atom sites of the asymmetric unit: label, element and charge,
// fractional position, occupancy and isotropic B.
#pragma once

#include <gemmi/cifdoc.hpp>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

// Appends the block's atom sites to s.sites; a block without them, or a value
// of a site that is no number, ends the conversion.
void read_sites(gemmi::cif::Block& block, CifStructure& s, Warnings& warnings);

}  // namespace velmora::cif
