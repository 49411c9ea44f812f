// The multiplicities of the Wyckoff positions of a space group, so that the
// Wyckoff letters a file gives its sites can be read as numbers of atoms.
#pragma once

#include <string_view>

namespace velmora::cif {

// The multiplicities of group `number`'s Wyckoff positions in its reference
// setting, in letter order, separated by blanks ("2 2 2 2 4 ..."; nondecreasing);
// empty for a number outside 1-230.
std::string_view wyckoff_multiplicities(int number);

}  // namespace velmora::cif
