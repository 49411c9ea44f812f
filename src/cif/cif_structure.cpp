// A CIF or magnetic CIF's structure, read step by step from its data block:
// the cell, the symmetry, the atom sites and their moments. gemmi's
// small-structure reader is not used for the sites: it turns a value that is
// no number into a default without a word, where a conversion must stop and
// say which value of which atom is wrong.
#include "cif/cif_structure.hpp"

#include "cif/atom_sites.hpp"
#include "cif/block_choice.hpp"
#include "cif/centring_repair.hpp"
#include "cif/content_check.hpp"
#include "cif/moments.hpp"
#include "cif/symmetry_reading.hpp"
#include "cif/unit_cell.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

CifStructure read_cif_structure(cif::Document& document, const std::string& block_name, Warnings& warnings) {
  CifStructure s;
  s.source = document.source;
  cif::Block& block = choose_block(document, block_name, warnings);
  s.block = block.name;
  s.cell = read_cell(block, s.source);
  read_symmetry(block, s, warnings);
  read_sites(block, s, warnings);
  complete_centring(block, s, warnings);
  read_moments(block, s, warnings);
  read_formula(block, s);
  return s;
}

}  // namespace velmora::cif
