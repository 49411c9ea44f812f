// The element and charge of an atom site: from its type symbol (Fe3+, O2-),
// else from the charges the file's atom types give.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <map>
#include <string>

#include "cif/cif_structure.hpp"

namespace velmora::cif {

// Sets the element and charge of a site from its type symbol; a symbol that
// names no element ends the conversion.
void read_type(CifSite& site, const std::string& where);

// The charges that the file's atom types give (_atom_type_symbol with
// _atom_type_oxidation_number, or a charged symbol), by type symbol, and by
// element where all the types of one element agree.
std::map<std::string, int> charges_of_types(gemmi::cif::Block& block);

}  // namespace velmora::cif
