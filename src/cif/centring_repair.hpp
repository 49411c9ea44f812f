// Listed operations that leave out the centring their symbol names. Some
// databases list only the operations of a centred group that differ in
// rotation (C m m m as 8 operations, not 16); read as they stand, such a list
// puts too few atoms in the cell, without a sign.
#pragma once

#include <gemmi/cifdoc.hpp>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

// When the block lists its operations (not magnetic ones) without any
// centring translation while its space-group symbol names a centred lattice:
// adds the centring, with a warning, when the file's site multiplicities
// (_atom_site_symmetry_multiplicity) and Wyckoff letters
// (_atom_site_Wyckoff_symbol), where it gives them, agree with the centred
// group and not all with the listed one, and ends the conversion naming the
// conflict otherwise. Call after the sites are read.
void complete_centring(gemmi::cif::Block& block, CifStructure& s, Warnings& warnings);

}  // namespace velmora::cif
