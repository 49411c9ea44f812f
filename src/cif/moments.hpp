// The magnetic moments of a magnetic CIF, given by site label along the
// crystal axes.
#pragma once

#include <gemmi/cifdoc.hpp>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

// Sets the moment of each site the block gives one for; a moment for no site,
// for a label two sites share, or given twice ends the conversion.
void read_moments(gemmi::cif::Block& block, CifStructure& s, Warnings& warnings);

}  // namespace velmora::cif
