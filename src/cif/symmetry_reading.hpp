// The symmetry operations of a data block: the magnetic operations and
// centrings of a magnetic CIF, the listed operations, or those of a Hall or
// Hermann-Mauguin symbol.
#pragma once

#include <gemmi/cifdoc.hpp>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

// Sets s.operations (and s.magnetic_operations) from the block; a block
// whose symmetry cannot be read, or is no group, ends the conversion.
void read_symmetry(gemmi::cif::Block& block, CifStructure& s, Warnings& warnings);

}  // namespace velmora::cif
