// Taking the operations of a data block from the first source that gives
// them, with a warning where a symbol is read in another spelling or setting.
#include "cif/symmetry_reading.hpp"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "cif/cif_values.hpp"
#include "cif/metric_check.hpp"
#include "cif/space_group_symbol.hpp"

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

std::vector<SymmetryOperation> read_operation_column(cif::Column column, bool with_time_reversal,
                                                     const std::string& source, Warnings& warnings) {
  std::vector<SymmetryOperation> ops;
  const Place place{source, column.item()};
  bool starless = false;
  for (int i = 0; i < column.length(); ++i) {
    const std::string where = column.get_loop() ? place.row(i) : place.line();
    ops.push_back(parse_operation(cif::as_string(column[i]), with_time_reversal,
                                  where + ": " + *column.get_tag(), starless));
  }
  if (starless)
    warnings.add(place.line() + ": " + *column.get_tag() +
                 ": coefficients written without '*' (2x-y) are read as products (2*x-y)");
  if (ops.empty()) fail_conversion(place.line() + ": " + *column.get_tag() + " lists no operation");
  return ops;
}

const std::string* first_value(cif::Block& block, std::initializer_list<const char*> tags,
                               std::string* tag_found) {
  for (const char* tag : tags)
    if (const std::string* value = block.find_value(tag)) {
      if (cif::is_null(*value)) continue;
      *tag_found = tag;
      return value;
    }
  return nullptr;
}

// What an operation that does not fit the cell is told as.
std::string misfit(const SymmetryOperation& off, const gemmi::UnitCell& cell) {
  char tolerance[16];
  std::snprintf(tolerance, sizeof tolerance, "%g%%", 100 * kMetricTolerance);
  return "the operation " + off.op.triplet() + " does not fit the cell " + cell_text(cell) +
         " (it changes the cell's metric tensor by more than " + tolerance + ")";
}

// The operations, checked to form a group and to fit the cell.
std::vector<SymmetryOperation> fitting_group(std::vector<SymmetryOperation> ops, const std::string& what,
                                             const CifStructure& s, const std::string& where,
                                             Warnings& warnings) {
  std::vector<SymmetryOperation> group = checked_group(std::move(ops), where, warnings);
  if (const SymmetryOperation* off = operation_off_metric(group, s.cell))
    fail_conversion(what + ": " + misfit(*off, s.cell));
  return group;
}

// The setting the file names apart from the symbol: an origin choice 1 or 2,
// or hexagonal (H) or rhombohedral (R) axes; empty for any other or none.
std::string coordinate_system_code(cif::Block& block) {
  std::string tag;
  const std::string* value = first_value(block, {"_space_group_IT_coordinate_system_code"}, &tag);
  if (value == nullptr) return {};
  std::string code = gemmi::to_upper(cif::as_string(*value));
  return code == "1" || code == "2" || code == "H" || code == "R" ? code : std::string();
}

// Whether a tag of the block begins with `prefix` (lower case, with underscores for dots).
bool has_tag_starting(const cif::Block& block, const std::string& prefix) {
  const auto starts = [&prefix](const std::string& tag) { return gemmi::istarts_with(tag, prefix); };
  for (const cif::Item& item : block.items) {
    if (item.type == cif::ItemType::Pair && starts(item.pair[0])) return true;
    if (item.type == cif::ItemType::Loop && std::any_of(item.loop.tags.begin(), item.loop.tags.end(), starts))
      return true;
  }
  return false;
}

// What makes a block a superspace structure, as a message tells it: its
// superspace group, its modulation wave vectors, else the tags of its kind.
std::string superspace_text(cif::Block& block) {
  std::vector<std::string> parts;
  if (const std::string* name = block.find_value("_space_group_ssg_name"))
    parts.push_back("superspace group '" + cif::as_string(*name) + "'");
  cif::Table vectors = block.find("_cell_wave_vector_", {"x", "y", "z"});
  for (std::size_t i = 0; i < vectors.length(); ++i) {
    const cif::Table::Row row = vectors[i];
    parts.push_back((i == 0 ? "modulation wave vector " : "") + cif::as_string(row[0]) + " " +
                    cif::as_string(row[1]) + " " + cif::as_string(row[2]));
  }
  if (parts.empty()) parts.push_back("superspace operations or modulation waves");
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// A structure of several cells' period (superspace operations, modulation wave
// vectors) ends the conversion: velmora takes the atoms of one cell. With
// magnetic superspace operations, or moments, it is a magnetic one.
void refuse_superspace(cif::Block& block, const CifStructure& s) {
  const bool magnetic = has_tag_starting(block, "_space_group_symop_magn_ssg") ||
                        has_tag_starting(block, "_space_group_magn_ssg");
  bool modulated = false;
  for (const char* prefix :
       {"_space_group_symop_ssg", "_space_group_ssg", "_cell_wave_vector", "_atom_site_fourier_wave_vector"})
    modulated = modulated || has_tag_starting(block, prefix);
  const std::string where = s.source + ": data_" + block.name;
  if (magnetic || (modulated && has_tag_starting(block, "_atom_site_moment")))
    fail_conversion(where +
                    ": an incommensurate magnetic structure (superspace operations) cannot be written"
                    " as the atoms of one cell");
  if (modulated)
    fail_conversion(where + ": an incommensurate modulated structure (" + superspace_text(block) +
                    ") cannot be written as the atoms of one cell");
}

// The magnetic operations times the magnetic centrings (the identity when
// none are listed), at most kMostOperations of them.
void take_magnetic_operations(cif::Block& block, cif::Column magnetic, CifStructure& s,
                              const std::string& where, Warnings& warnings) {
  s.magnetic_operations = true;
  std::vector<SymmetryOperation> ops = read_operation_column(magnetic, true, s.source, warnings);
  std::vector<SymmetryOperation> centerings = {{SeitzOp(), 1}};
  if (cif::Column column = block.find_values("_space_group_symop_magn_centering_xyz"))
    centerings = read_operation_column(column, true, s.source, warnings);
  if (ops.size() * centerings.size() > kMostOperations)
    fail_conversion(where + ": " + std::to_string(ops.size()) + " operations times " +
                    std::to_string(centerings.size()) + " centrings; at most " +
                    std::to_string(kMostOperations) + " operations are taken");
  s.operations = fitting_group(combine_with_centerings(ops, centerings), where + ": the magnetic operations",
                               s, where, warnings);
}

// The operations listed under either spelling of the tag; false when none is.
bool take_listed_operations(cif::Block& block, CifStructure& s, const std::string& where,
                            Warnings& warnings) {
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"})
    if (cif::Column column = block.find_values(tag)) {
      s.operations =
          fitting_group(read_operation_column(column, false, s.source, warnings),
                        where + ": the listed operations (" + std::string(tag) + ")", s, where, warnings);
      return true;
    }
  return false;
}

// The space-group symbols a block gives, and the group gemmi finds for the
// Hermann-Mauguin one.
struct GroupSymbols {
  const std::string* hm = nullptr;           // the Hermann-Mauguin symbol as written
  const std::string* hall = nullptr;         // the Hall symbol as written
  std::string hm_tag, hall_tag;              // the tags they were found under
  std::string hm_symbol;                     // the Hermann-Mauguin symbol read
  std::string code;                          // the setting named apart from it
  const gemmi::SpaceGroup* group = nullptr;  // gemmi's group of it, if gemmi knows one
  bool respelt = false;                      // found in another spelling
};

// Where a symbol's tag stands, as a message names it.
std::string tag_place(cif::Block& block, const CifStructure& s, const std::string& tag) {
  return s.source + ":" + std::to_string(block.find_pair_item(tag)->line_number) + ": " + tag;
}

// The symbols of the block; a Hermann-Mauguin symbol that gemmi does not know
// ends the conversion unless a Hall symbol is there to stand in for it.
GroupSymbols read_group_symbols(cif::Block& block, const CifStructure& s) {
  GroupSymbols g;
  g.hm = first_value(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"}, &g.hm_tag);
  g.hall = first_value(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"}, &g.hall_tag);
  g.code = coordinate_system_code(block);
  if (g.hm) {
    g.hm_symbol = symbol_value(*g.hm);
    g.group = find_group(g.hm_symbol, g.code, s.cell, g.respelt);
    if (g.group == nullptr && g.hall == nullptr)
      fail_conversion(tag_place(block, s, g.hm_tag) + " '" + g.hm_symbol +
                      "' is no space-group symbol that gemmi knows");
  }
  return g;
}

// The operations of the Hall symbol; nothing when it cannot be read and the
// Hermann-Mauguin symbol stands in for it (with a warning), else the
// conversion ends.
std::optional<gemmi::GroupOps> hall_group_ops(cif::Block& block, const CifStructure& s, const GroupSymbols& g,
                                              const std::string& symbol, Warnings& warnings) {
  try {
    check_hall(symbol);
    return gemmi::symops_from_hall(symbol.c_str());
  } catch (const std::exception& e) {
    const std::string place = tag_place(block, s, g.hall_tag);
    if (g.group == nullptr) fail_conversion(place + " '" + symbol + "' cannot be read: " + e.what());
    warnings.add(place + " '" + symbol + "' cannot be read (" + e.what() + "); the symbol '" + g.hm_symbol +
                 "' is used");
    return std::nullopt;
  }
}

// Tells where the Hall symbol's operations were taken over the Hermann-Mauguin
// symbol: it gives other operations, or it is one gemmi does not know.
void warn_hall_over_symbol(cif::Block& block, const CifStructure& s, const GroupSymbols& g,
                           const std::string& symbol, const gemmi::GroupOps& ops, Warnings& warnings) {
  if (g.group != nullptr && !g.group->operations().is_same_as(ops))
    warnings.add(s.source + ": the Hall symbol '" + symbol + "' and the symbol '" + g.hm_symbol +
                 "' (read as " + g.group->xhm() + ") give different operations; the Hall symbol's are used");
  if (g.hm != nullptr && g.group == nullptr)
    warnings.add(tag_place(block, s, g.hm_tag) + " '" + g.hm_symbol +
                 "' is no space-group symbol that gemmi knows; the Hall symbol '" + symbol + "' is used");
}

// The Hall symbol's operations, which fix the setting; false when there is
// none, or when the Hermann-Mauguin symbol is taken instead: the Hall symbol
// cannot be read, or its operations do not fit the cell where the other's do.
bool take_hall_operations(cif::Block& block, CifStructure& s, const GroupSymbols& g, const std::string& where,
                          Warnings& warnings) {
  if (g.hall == nullptr) return false;
  const std::string symbol = symbol_value(*g.hall);
  const std::optional<gemmi::GroupOps> ops = hall_group_ops(block, s, g, symbol, warnings);
  if (!ops) return false;
  std::vector<SymmetryOperation> hall_ops = checked_group(operations_of_group(*ops), where, warnings);
  const SymmetryOperation* off = operation_off_metric(hall_ops, s.cell);
  if (off != nullptr && g.group != nullptr &&
      operation_off_metric(operations_of_group(g.group->operations()), s.cell) == nullptr) {
    warnings.add(tag_place(block, s, g.hall_tag) + " '" + symbol + "': " + misfit(*off, s.cell) +
                 "; the symbol '" + g.hm_symbol + "' (" + g.group->xhm() + ") is used");
    return false;
  }
  if (off != nullptr)
    fail_conversion(tag_place(block, s, g.hall_tag) + " '" + symbol + "': " + misfit(*off, s.cell));
  warn_hall_over_symbol(block, s, g, symbol, *ops, warnings);
  s.operations = std::move(hall_ops);
  return true;
}

// The Hermann-Mauguin symbol's group, with a warning where the symbol was read
// in another spelling, or where it has two origin choices and the file names
// neither.
void take_symbol_operations(cif::Block& block, CifStructure& s, const GroupSymbols& g,
                            const std::string& where, Warnings& warnings) {
  const gemmi::SpaceGroup& group = *g.group;
  if (g.respelt) {
    warnings.add(s.source + ": space group '" + g.hm_symbol + "' is read as " + group.xhm());
  } else if ((group.ext == '1' || group.ext == '2') && g.hm_symbol.find(':') == std::string::npos &&
             g.code.empty()) {
    warnings.add(s.source + ": space group '" + g.hm_symbol + "' has two origin choices; origin choice " +
                 std::string(1, group.ext) + " is used (" + group.xhm() +
                 "); list the operations, or name the setting, for the other");
  }
  s.operations = fitting_group(operations_of_group(group.operations()),
                               tag_place(block, s, g.hm_tag) + " '" + g.hm_symbol + "' (" + group.xhm() + ")",
                               s, where, warnings);
}

[[noreturn]] void fail_no_symmetry(const std::string& where) {
  fail_conversion(where +
                  ": no symmetry: neither operations (_space_group_symop_operation_xyz,"
                  " _symmetry_equiv_pos_as_xyz, _space_group_symop_magn_operation_xyz) nor a space-group"
                  " symbol (_space_group_name_H-M_alt, _symmetry_space_group_name_H-M, "
                  "_space_group_name_Hall)");
}

}  // namespace

// The operations, from the first of: the magnetic operations and centrings of
// a magnetic CIF; the listed operations; the Hall symbol, which fixes the
// setting; the Hermann-Mauguin symbol.
void read_symmetry(cif::Block& block, CifStructure& s, Warnings& warnings) {
  refuse_superspace(block, s);
  const std::string where = s.source + ": data_" + block.name;
  if (cif::Column magnetic = block.find_values("_space_group_symop_magn_operation_xyz")) {
    take_magnetic_operations(block, magnetic, s, where, warnings);
    return;
  }
  if (take_listed_operations(block, s, where, warnings)) return;
  const GroupSymbols g = read_group_symbols(block, s);
  if (take_hall_operations(block, s, g, where, warnings)) return;
  if (g.group == nullptr) fail_no_symmetry(where);
  take_symbol_operations(block, s, g, where, warnings);
}

}  // namespace velmora::cif
