// Comparing the listed operations with the lattice their space-group symbol
// names, and with the multiplicities or Wyckoff letters the file gives for its
// sites.
#include "cif/centring_repair.hpp"

#include <cmath>
#include <gemmi/numb.hpp>
#include <gemmi/symmetry.hpp>
#include <string_view>
#include <utility>

#include "cif/cell_expansion.hpp"
#include "cif/space_group_symbol.hpp"
#include "cif/wyckoff_table.hpp"

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

constexpr const char* kMultiplicityTag = "_atom_site_symmetry_multiplicity";
constexpr const char* kWyckoffTag = "_atom_site_Wyckoff_symbol";

// The number of atoms in the cell that a column of the file gives each site.
struct Evidence {
  std::string name;  // "multiplicities (_atom_site_symmetry_multiplicity)"
  std::vector<std::size_t> atoms;
};

// The multiplicity of Wyckoff position `letter` (a-z) of the group, or 0 for
// a letter the group does not have. The table's is that of the reference
// setting, which has as many lattice points in its cell as every centred
// setting of the group (only a rhombohedral group on rhombohedral axes has
// fewer, and it is not centred).
std::size_t letter_multiplicity(const gemmi::SpaceGroup& group, char letter) {
  std::string_view listed = wyckoff_multiplicities(group.number);
  for (char c = 'a'; c < letter && !listed.empty(); ++c) {
    const std::size_t blank = listed.find(' ');
    listed = blank == std::string_view::npos ? std::string_view() : listed.substr(blank + 1);
  }
  return listed.empty() ? 0 : std::stoul(std::string(listed.substr(0, listed.find(' '))));
}

// The columns of the file that give every site a number of atoms: its
// multiplicities, its Wyckoff letters (a letter alone, or after its
// multiplicity, "4f"). A column with a site it leaves without a value, or
// with a value that is no count or no letter, is no evidence and is left out.
std::vector<Evidence> site_evidence(cif::Block& block, const CifStructure& s,
                                    const gemmi::SpaceGroup& group) {
  std::vector<Evidence> evidence;
  cif::Table table = block.find("_atom_site_", {"fract_x", "?symmetry_multiplicity", "?Wyckoff_symbol"});
  if (!table.ok() || table.length() != s.sites.size()) return evidence;
  for (int column : {1, 2}) {
    if (!table.has_column(column)) continue;
    Evidence e{column == 1 ? std::string("multiplicities (") + kMultiplicityTag + ")"
                           : std::string("Wyckoff letters (") + kWyckoffTag + ")",
               {}};
    for (cif::Table::Row row : table) {
      if (!row.has2(column)) break;
      const std::string value = cif::as_string(row[column]);
      if (column == 1) {
        const double m = cif::as_number(value);
        if (!(m >= 1 && m <= 1e6 && m == std::floor(m))) break;
        e.atoms.push_back(static_cast<std::size_t>(m));
      } else {
        // 0 for a letter the group does not have, which agrees with no reading.
        const std::size_t digits = value.find_first_not_of("0123456789");
        if (digits == std::string::npos || digits + 1 != value.size() || value[digits] < 'a' ||
            value[digits] > 'z')
          break;
        e.atoms.push_back(letter_multiplicity(group, value[digits]));
      }
    }
    if (e.atoms.size() == s.sites.size()) evidence.push_back(std::move(e));
  }
  return evidence;
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
  const bool vowel_sound = std::string("AFIR").find(lattice) != std::string::npos;
  const std::string conflict = where + ": the symbol '" + symbol + "' names " + (vowel_sound ? "an " : "a ") +
                               lattice + "-centred lattice, but the listed operations (" + listed_tag(block) +
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
  // What each column of the file says of its sites, against each reading.
  std::vector<Evidence> evidence = site_evidence(block, s, *group);
  if (evidence.empty())
    fail_conversion(conflict + "; the file gives no multiplicities (" + kMultiplicityTag +
                    ") or Wyckoff letters (" + kWyckoffTag +
                    ") to tell which is meant: list every operation, centring included");
  bool decided = false, conflicting = false;
  std::vector<std::pair<std::string, std::string>> verdicts;  // what agrees with which reading
  for (Evidence& e : evidence) {
    bool centred_agrees = true, listed_agrees = true;
    for (std::size_t i = 0; i < s.sites.size(); ++i) {
      centred_agrees = centred_agrees && e.atoms[i] == orbit_size(centred, s.sites[i].fract, s.cell);
      listed_agrees = listed_agrees && e.atoms[i] == orbit_size(s.operations, s.sites[i].fract, s.cell);
    }
    decided = decided || (centred_agrees && !listed_agrees);
    conflicting = conflicting || !centred_agrees;
    const std::string reading = centred_agrees ? (listed_agrees ? "both" : "the symbol")
                                               : (listed_agrees ? "the listed operations" : "neither");
    if (!verdicts.empty() && verdicts.back().second == reading)
      verdicts.back().first += " and the " + e.name;
    else
      verdicts.emplace_back("the " + e.name, reading);
  }
  std::string said;
  for (const auto& [what, reading] : verdicts)
    said += (said.empty() ? "" : ", ") + what + " agree with " + reading;
  if (conflicting || !decided) fail_conversion(conflict + ", and " + said);
  warnings.add(conflict + "; " + said + ": the centring is added");
  s.operations = std::move(centred);
}

}  // namespace velmora::cif
