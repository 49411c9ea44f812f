// Space-group symbols as files write them: Hermann-Mauguin symbols in the
// many spellings of programs and databases, mapped to gemmi's table, and Hall
// symbols checked before gemmi's Hall parser reads them.
#pragma once

#include <gemmi/symmetry.hpp>
#include <gemmi/unitcell.hpp>
#include <string>

namespace velmora::cif {

// The group a Hermann-Mauguin symbol names, or null; code is the setting the
// file names apart (1 or 2: the origin choice, H or R: the axes), or empty.
// respelt says whether the symbol had to be read in another spelling.
const gemmi::SpaceGroup* find_group(std::string symbol, const std::string& code, const gemmi::UnitCell& cell,
                                    bool& respelt);

// Throws std::runtime_error, saying why, for a Hall symbol that gemmi's parser
// cannot read safely.
void check_hall(const std::string& symbol);

// The symbol a value holds, without the quotes of a symbol quoted twice.
std::string symbol_value(const std::string& value);

}  // namespace velmora::cif
