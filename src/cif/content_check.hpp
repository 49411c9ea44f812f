// The content of the converted cell against the formula the file states:
// _chemical_formula_sum times _cell_formula_units_Z. A wrong setting, a
// missing centring or an operation too many all change the cell's content,
// so a disagreement is the one sign of them that every file can give.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <vector>

#include "cif/cell_expansion.hpp"
#include "cif/cif_structure.hpp"

namespace velmora::cif {

// Takes the formula and Z of the block into s (left empty when not given).
void read_formula(gemmi::cif::Block& block, CifStructure& s);

// Warns, naming both, when the cell's atoms (occupancies summed, element by
// element) disagree with the formula times Z beyond rounding.
void check_content(const CifStructure& s, const std::vector<CellAtom>& atoms, Warnings& warnings);

}  // namespace velmora::cif
