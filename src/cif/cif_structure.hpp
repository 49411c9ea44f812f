// The crystal as a CIF or magnetic CIF gives it: the cell, the symmetry
// operations (with their time reversal in a magnetic CIF) and the atom sites
// of the asymmetric unit, each with its moment along the crystal axes when the
// file gives one. Reading checks every value it uses and ends the conversion
// with the file, the line and the item when one is missing or not a number.
#pragma once

#include <array>
#include <gemmi/elem.hpp>
#include <gemmi/unitcell.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cif/conversion_error.hpp"
#include "cif/symmetry_operation.hpp"

namespace gemmi::cif {
struct Document;  // gemmi/cifdoc.hpp, left out here: table_labels.cpp needs no CIF parser
}

namespace velmora::cif {

struct CifSite {
  std::string label;
  std::string type_symbol;  // as written, or the label when the file gives no type
  gemmi::Element element = gemmi::El::X;
  signed char charge = 0;          // 0 for a neutral atom
  bool charge_unreadable = false;  // text after the element that is no charge (Fe1, Feh)
  std::array<double, 3> fract{};
  double occ = 1.0;
  double biso = 0.0;  // B = 8 pi^2 U, in square angstroms
  // U11 U22 U33 U12 U13 U23 (square angstroms) when the file gives them; biso is then their B_eq
  // unless it gives an isotropic value too.
  std::optional<std::array<double, 6>> uaniso;
  bool magnetic = false;
  // Components along the unit vectors a/|a|, b/|b|, c/|c|, in Bohr magnetons.
  std::array<double, 3> moment{};
};

struct CifStructure {
  std::string source;  // the file, as messages name it
  std::string block;   // the data block read
  gemmi::UnitCell cell;
  bool magnetic_operations = false;  // from a magnetic CIF, with their time reversal
  std::vector<SymmetryOperation> operations;
  std::vector<CifSite> sites;
  std::string formula_sum;     // _chemical_formula_sum, when Z is given too
  double formula_units_z = 0;  // _cell_formula_units_Z
};

// Parses the file; a file that cannot be read or is no CIF ends the conversion.
gemmi::cif::Document read_cif_file(const std::string& path, Warnings& warnings);

// Parses a CIF held in memory (name: as messages name it). Line ends may be
// LF, CR LF or CR alone; a byte-order mark is passed over; bytes beyond ASCII
// are kept in the values as the file has them. Text faults that CIF readers
// forgive are mended with a warning, unless they fall in an item velmora reads.
gemmi::cif::Document parse_cif_text(std::string text, const std::string& name, Warnings& warnings);

// The structure of the named data block, or, when block_name is empty, of the
// first block that lists atom sites. Tags are read in both spellings, with a
// dot after the category (_atom_site_moment.label) or an underscore.
CifStructure read_cif_structure(gemmi::cif::Document& document, const std::string& block_name,
                                Warnings& warnings);

}  // namespace velmora::cif
