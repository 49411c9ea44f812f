// Taking the operations of a data block from the first source that gives
// them, with a warning where a symbol is read in another spelling or setting.
#include "cif/symmetry_reading.hpp"

#include <cstdio>

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

}  // namespace

// The operations, from the first of: the magnetic operations and centrings of
// a magnetic CIF; the listed operations; the Hall symbol, which fixes the
// setting; the Hermann-Mauguin symbol.
void read_symmetry(cif::Block& block, CifStructure& s, Warnings& warnings) {
  if (block.has_tag("_space_group_symop_magn_ssg_operation_algebraic") ||
      block.has_tag("_cell_wave_vector_x"))
    fail_conversion(s.source + ": data_" + block.name +
                    ": an incommensurate magnetic structure (superspace operations) cannot be written"
                    " as the atoms of one cell");
  const std::string where = s.source + ": data_" + block.name;
  if (cif::Column magnetic = block.find_values("_space_group_symop_magn_operation_xyz")) {
    s.magnetic_operations = true;
    std::vector<SymmetryOperation> ops = read_operation_column(magnetic, true, s.source, warnings);
    std::vector<SymmetryOperation> centerings = {{SeitzOp(), 1}};
    if (cif::Column column = block.find_values("_space_group_symop_magn_centering_xyz"))
      centerings = read_operation_column(column, true, s.source, warnings);
    if (ops.size() * centerings.size() > kMostOperations)
      fail_conversion(where + ": " + std::to_string(ops.size()) + " operations times " +
                      std::to_string(centerings.size()) + " centrings; at most " +
                      std::to_string(kMostOperations) + " operations are taken");
    s.operations = fitting_group(combine_with_centerings(ops, centerings),
                                 where + ": the magnetic operations", s, where, warnings);
    return;
  }
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"})
    if (cif::Column column = block.find_values(tag)) {
      s.operations =
          fitting_group(read_operation_column(column, false, s.source, warnings),
                        where + ": the listed operations (" + std::string(tag) + ")", s, where, warnings);
      return;
    }
  std::string hm_tag, hall_tag;
  const std::string* hm =
      first_value(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"}, &hm_tag);
  const std::string* hall =
      first_value(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"}, &hall_tag);
  auto place = [&](const std::string& tag) {
    return s.source + ":" + std::to_string(block.find_pair_item(tag)->line_number) + ": " + tag;
  };
  const std::string code = coordinate_system_code(block);
  const gemmi::SpaceGroup* group = nullptr;
  std::string hm_symbol;
  bool respelt = false;
  if (hm) {
    hm_symbol = symbol_value(*hm);
    group = find_group(hm_symbol, code, s.cell, respelt);
    if (group == nullptr && hall == nullptr)
      fail_conversion(place(hm_tag) + " '" + hm_symbol + "' is no space-group symbol that gemmi knows");
  }
  if (hall) {
    const std::string symbol = symbol_value(*hall);
    gemmi::GroupOps ops;
    bool read = true;
    try {
      check_hall(symbol);
      ops = gemmi::symops_from_hall(symbol.c_str());
    } catch (const std::exception& e) {
      if (group == nullptr)
        fail_conversion(place(hall_tag) + " '" + symbol + "' cannot be read: " + e.what());
      warnings.add(place(hall_tag) + " '" + symbol + "' cannot be read (" + e.what() + "); the symbol '" +
                   hm_symbol + "' is used");
      read = false;
    }
    if (read) {
      std::vector<SymmetryOperation> hall_ops = checked_group(operations_of_group(ops), where, warnings);
      const SymmetryOperation* off = operation_off_metric(hall_ops, s.cell);
      if (off != nullptr && group != nullptr &&
          operation_off_metric(operations_of_group(group->operations()), s.cell) == nullptr) {
        warnings.add(place(hall_tag) + " '" + symbol + "': " + misfit(*off, s.cell) + "; the symbol '" +
                     hm_symbol + "' (" + group->xhm() + ") is used");
      } else {
        if (off != nullptr) fail_conversion(place(hall_tag) + " '" + symbol + "': " + misfit(*off, s.cell));
        if (group != nullptr && !group->operations().is_same_as(ops))
          warnings.add(s.source + ": the Hall symbol '" + symbol + "' and the symbol '" + hm_symbol +
                       "' (read as " + group->xhm() +
                       ") give different operations; the Hall symbol's are used");
        if (hm != nullptr && group == nullptr)
          warnings.add(place(hm_tag) + " '" + hm_symbol +
                       "' is no space-group symbol that gemmi knows; the Hall symbol '" + symbol +
                       "' is used");
        s.operations = std::move(hall_ops);
        return;
      }
    }
  }
  if (group != nullptr) {
    if (respelt) {
      warnings.add(s.source + ": space group '" + hm_symbol + "' is read as " + group->xhm());
    } else if ((group->ext == '1' || group->ext == '2') && hm_symbol.find(':') == std::string::npos &&
               code.empty()) {
      warnings.add(s.source + ": space group '" + hm_symbol + "' has two origin choices; origin choice " +
                   std::string(1, group->ext) + " is used (" + group->xhm() +
                   "); list the operations, or name the setting, for the other");
    }
    s.operations =
        fitting_group(operations_of_group(group->operations()),
                      place(hm_tag) + " '" + hm_symbol + "' (" + group->xhm() + ")", s, where, warnings);
    return;
  }
  fail_conversion(
      where +
      ": no symmetry: neither operations (_space_group_symop_operation_xyz,"
      " _symmetry_equiv_pos_as_xyz, _space_group_symop_magn_operation_xyz) nor a space-group"
      " symbol (_space_group_name_H-M_alt, _symmetry_space_group_name_H-M, _space_group_name_Hall)");
}

}  // namespace velmora::cif
