// The unit cell of a data block: six numbers, each checked, and angles that
// make a cell.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <gemmi/unitcell.hpp>
#include <string>

namespace velmora::cif {

// The cell of the block; a length or angle that is missing, repeated, no
// number, out of range, or angles that close no cell end the conversion.
gemmi::UnitCell read_cell(gemmi::cif::Block& block, const std::string& source);

}  // namespace velmora::cif
