// Comparing the listed operations with the lattice their space-group symbol
// names, and with the multiplicities the file gives for its sites.
#include "cif/centring_repair.hpp"

#include <cmath>
#include <gemmi/numb.hpp>
#include <gemmi/symmetry.hpp>

#include "cif/cell_expansion.hpp"
#include "cif/space_group_symbol.hpp"

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

// The number of distinct images of a position (those closer than
// kCoincidence are one), as expand_cell counts the atoms of a site.
std::size_t orbit_size(const std::vector<SymmetryOperation>& ops, const std::array<double, 3>& x,
                       const gemmi::UnitCell& cell) {
  std::vector<gemmi::Vec3> images;
  for (const SymmetryOperation& s : ops) {
    gemmi::Vec3 image;
    for (int i = 0; i < 3; ++i) {
      double v = s.op.tran(i);
      for (int j = 0; j < 3; ++j) v += s.op.rot[i][j] * x[j];
      image.at(i) = v;
    }
    bool seen = false;
    for (const gemmi::Vec3& other : images) {
      gemmi::Vec3 d = image - other;
      for (int i = 0; i < 3; ++i) d.at(i) -= std::nearbyint(d.at(i));
      if (cell.orth.mat.multiply(d).length() < kCoincidence) seen = true;
      if (seen) break;
    }
    if (!seen) images.push_back(image);
  }
  return images.size();
}

std::string listed_tag(cif::Block& block) {
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"})
    if (block.find_values(tag)) return tag;
  return {};
}

}  // namespace

void complete_centring(cif::Block& block, CifStructure& s, Warnings& warnings) {
  if (s.magnetic_operations || listed_tag(block).empty()) return;
  std::size_t translations = 0;
  for (const SymmetryOperation& op : s.operations)
    if (op.op.rot == SeitzOp().rot) ++translations;
  if (translations != 1) return;
  std::string symbol;
  for (const char* tag : {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"})
    if (const std::string* value = block.find_value(tag); value != nullptr && !cif::is_null(*value)) {
      symbol = symbol_value(*value);
      break;
    }
  if (symbol.empty()) return;
  std::string code;
  if (const std::string* value = block.find_value("_space_group_IT_coordinate_system_code"))
    code = gemmi::to_upper(cif::as_string(*value));
  if (code != "1" && code != "2" && code != "H" && code != "R") code.clear();
  bool respelt = false;
  const gemmi::SpaceGroup* group = find_group(symbol, code, s.cell, respelt);
  if (group == nullptr || group->operations().cen_ops.size() < 2) return;

  const std::string where = s.source + ": data_" + s.block;
  const std::string lattice(1, group->hm[0]);
  const std::string conflict = where + ": the symbol '" + symbol + "' names a " + lattice +
                               "-centred lattice, but the listed operations (" + listed_tag(block) +
                               ") have no centring";
  std::vector<SymmetryOperation> centrings;
  for (const gemmi::Op::Tran& t : group->operations().cen_ops) {
    gemmi::Op op = gemmi::Op::identity();
    op.tran = t;
    centrings.push_back({seitz_of(op), 1});
  }
  Warnings ignored;
  std::vector<SymmetryOperation> centred;
  try {
    centred = checked_group(combine_with_centerings(s.operations, centrings), where, ignored);
  } catch (const ConversionError&) {
    fail_conversion(conflict + ", and with the centring added they form no group");
  }
  cif::Table table = block.find("_atom_site_", {"label", "symmetry_multiplicity"});
  if (!table.ok() || table.length() != s.sites.size())
    fail_conversion(conflict +
                    "; the file gives no multiplicities (_atom_site_symmetry_multiplicity) to"
                    " tell which is meant: list every operation, centring included");
  bool centred_agrees = true, listed_agrees = true;
  for (std::size_t i = 0; i < s.sites.size(); ++i) {
    const double m = cif::as_number(table[static_cast<int>(i)][1]);
    centred_agrees =
        centred_agrees && m == static_cast<double>(orbit_size(centred, s.sites[i].fract, s.cell));
    listed_agrees =
        listed_agrees && m == static_cast<double>(orbit_size(s.operations, s.sites[i].fract, s.cell));
  }
  if (!centred_agrees || listed_agrees)
    fail_conversion(conflict + ", and the multiplicities (_atom_site_symmetry_multiplicity) agree " +
                    (listed_agrees ? "with the listed operations" : "with neither"));
  warnings.add(conflict +
               "; the multiplicities (_atom_site_symmetry_multiplicity) agree with the symbol:"
               " the centring is added");
  s.operations = std::move(centred);
}

}  // namespace velmora::cif
