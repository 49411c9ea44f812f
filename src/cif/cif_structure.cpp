// Reading a CIF or magnetic CIF with gemmi's parser and taking from its data
// block the cell, the symmetry and the atom sites with their moments. gemmi's
// small-structure reader is not used for the sites: it turns a value that is
// no number into a default without a word, where a conversion must stop and
// say which value of which atom is wrong.
#include "cif/cif_structure.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>
#include <gemmi/small.hpp>
#include <iterator>
#include <map>
#include <system_error>

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

// Tags of the newer dictionaries put a dot after the category
// (_space_group_symop_magn_operation.xyz, _atom_site_moment.label), older files
// an underscore, and some a dot elsewhere (_space_group_symop.magn_operation_xyz).
// With every dot made an underscore, each name has one spelling.
void use_underscores(cif::Block& block) {
  auto respell = [](std::string& tag) { std::replace(tag.begin(), tag.end(), '.', '_'); };
  for (cif::Item& item : block.items) {
    if (item.type == cif::ItemType::Pair) respell(item.pair[0]);
    if (item.type == cif::ItemType::Loop)
      for (std::string& tag : item.loop.tags) respell(tag);
  }
}

bool lists_atom_sites(cif::Block& block) { return block.has_tag("_atom_site_fract_x"); }

cif::Block& choose_block(cif::Document& document, const std::string& block_name, Warnings& warnings) {
  for (cif::Block& block : document.blocks) use_underscores(block);
  if (!block_name.empty()) {
    for (cif::Block& block : document.blocks)
      if (gemmi::iequal(block.name, block_name)) return block;
    std::string names;
    for (const cif::Block& block : document.blocks) names += " data_" + block.name;
    fail_conversion(document.source + ": no data block data_" + block_name + " (the file has" + names + ")");
  }
  cif::Block* chosen = nullptr;
  for (cif::Block& block : document.blocks) {
    if (!lists_atom_sites(block)) continue;
    if (chosen == nullptr) {
      chosen = &block;
    } else {
      warnings.add(document.source + ": data_" + block.name + " also lists atom sites; data_" + chosen->name +
                   " is converted (choose with --block NAME)");
    }
  }
  if (chosen == nullptr)
    fail_conversion(document.source + ": no atoms: no data block lists atom sites (_atom_site_fract_x)");
  return *chosen;
}

// Where a value stands, for messages: the line of a tag and value, or the
// line where a loop starts and the row within it.
struct Place {
  const std::string& source;
  const cif::Item* item;

  std::string line() const { return source + ":" + std::to_string(item->line_number); }
  std::string row(int index) const {
    return line() + ": row " + std::to_string(index + 1) + " of the loop that starts here";
  }
};

double number_or_fail(const std::string& text, const std::string& where, const std::string& what) {
  const double value = cif::as_number(text);
  if (std::isnan(value)) fail_conversion(where + ": " + what + " '" + text + "' is not a number");
  return value;
}

gemmi::UnitCell read_cell(cif::Block& block, const std::string& source) {
  static const char* const tags[6] = {"_cell_length_a",    "_cell_length_b",   "_cell_length_c",
                                      "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
  double value[6];
  std::string text[6];
  for (int i = 0; i < 6; ++i) {
    cif::Column column = block.find_values(tags[i]);
    if (!column || column.length() != 1)
      fail_conversion(source + ": data_" + block.name + ": no unit cell: " + tags[i] +
                      (column ? " has more than one value" : " is missing"));
    const Place place{source, column.item()};
    text[i] = column[0];
    value[i] = number_or_fail(text[i], place.line(), tags[i]);
    const bool good = i < 3 ? value[i] > 0 : value[i] > 0 && value[i] < 180;
    if (!good)
      fail_conversion(place.line() + ": " + tags[i] + " " + column[0] +
                      (i < 3 ? " is not a length above 0" : " is not an angle between 0 and 180"));
  }
  const double ca = std::cos(gemmi::rad(value[3])), cb = std::cos(gemmi::rad(value[4]));
  const double cg = std::cos(gemmi::rad(value[5]));
  if (1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg <= 0)
    fail_conversion(source + ": data_" + block.name + ": the cell angles " + text[3] + " " + text[4] + " " +
                    text[5] + " make no cell");
  return gemmi::UnitCell(value[0], value[1], value[2], value[3], value[4], value[5]);
}

std::vector<SymmetryOperation> read_operation_column(cif::Column column, bool with_time_reversal,
                                                     const std::string& source) {
  std::vector<SymmetryOperation> ops;
  const Place place{source, column.item()};
  for (int i = 0; i < column.length(); ++i) {
    const std::string where = column.get_loop() ? place.row(i) : place.line();
    ops.push_back(
        parse_operation(cif::as_string(column[i]), with_time_reversal, where + ": " + *column.get_tag()));
  }
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

// The operations, from the first of: the magnetic operations and centrings of
// a magnetic CIF; the listed operations; the Hermann-Mauguin symbol; the Hall
// symbol.
void read_symmetry(cif::Block& block, CifStructure& s, Warnings& warnings) {
  if (block.has_tag("_space_group_symop_magn_ssg_operation_algebraic") ||
      block.has_tag("_cell_wave_vector_x"))
    fail_conversion(s.source + ": data_" + block.name +
                    ": an incommensurate magnetic structure (superspace operations) cannot be written"
                    " as the atoms of one cell");
  if (cif::Column magnetic = block.find_values("_space_group_symop_magn_operation_xyz")) {
    s.magnetic_operations = true;
    std::vector<SymmetryOperation> ops = read_operation_column(magnetic, true, s.source);
    std::vector<SymmetryOperation> centerings = {{gemmi::Op::identity(), 1}};
    if (cif::Column column = block.find_values("_space_group_symop_magn_centering_xyz"))
      centerings = read_operation_column(column, true, s.source);
    s.operations = combine_with_centerings(ops, centerings);
    return;
  }
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"})
    if (cif::Column column = block.find_values(tag)) {
      s.operations = read_operation_column(column, false, s.source);
      return;
    }
  std::string tag;
  if (const std::string* value =
          first_value(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"}, &tag)) {
    const std::string symbol = cif::as_string(*value);
    const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(symbol, s.cell.alpha, s.cell.gamma);
    if (group == nullptr)
      fail_conversion(s.source + ":" + std::to_string(block.find_pair_item(tag)->line_number) + ": " + tag +
                      " '" + symbol + "' is no space-group symbol that gemmi knows");
    if ((group->ext == '1' || group->ext == '2') && symbol.find(':') == std::string::npos)
      warnings.add(s.source + ": space group '" + symbol + "' has two origin choices; origin choice " +
                   std::string(1, group->ext) + " is used (" + group->xhm() +
                   "); list the operations, or name the setting, for the other");
    s.operations = operations_of_group(group->operations());
    return;
  }
  if (const std::string* value =
          first_value(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"}, &tag)) {
    const std::string symbol = cif::as_string(*value);
    try {
      s.operations = operations_of_group(gemmi::symops_from_hall(symbol.c_str()));
    } catch (const std::exception& e) {
      fail_conversion(s.source + ":" + std::to_string(block.find_pair_item(tag)->line_number) + ": " + tag +
                      " '" + symbol + "' cannot be read: " + e.what());
    }
    return;
  }
  fail_conversion(s.source + ": data_" + block.name +
                  ": no symmetry: neither operations (_space_group_symop_operation_xyz,"
                  " _symmetry_equiv_pos_as_xyz, _space_group_symop_magn_operation_xyz) nor a space-group"
                  " symbol (_space_group_name_H-M_alt, _symmetry_space_group_name_H-M)");
}

// The charge written after the element: 3+ or +3, 2-, + or - alone. Returns
// false for any other text.
bool read_charge(const std::string& rest, signed char& charge) {
  if (rest.empty()) {
    charge = 0;
    return true;
  }
  auto sign_of = [](char c) { return c == '+' ? 1 : c == '-' ? -1 : 0; };
  auto digit_of = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : -1; };
  int sign = 0, size = -1;
  if (rest.size() == 1) {
    sign = sign_of(rest[0]), size = 1;
  } else if (rest.size() == 2 && digit_of(rest[0]) >= 0) {
    sign = sign_of(rest[1]), size = digit_of(rest[0]);
  } else if (rest.size() == 2) {
    sign = sign_of(rest[0]), size = digit_of(rest[1]);
  }
  if (sign == 0 || size < 0) return false;
  charge = static_cast<signed char>(sign * size);
  return true;
}

void read_type(CifSite& site, const std::string& where) {
  const std::string& symbol = site.type_symbol;
  gemmi::split_element_and_charge(symbol, &site);
  if (site.element == gemmi::El::X)
    fail_conversion(where + ": atom '" + site.label + "': type symbol '" + symbol +
                    "' names no chemical element");
  const std::size_t letters =
      symbol.size() > 1 && std::isalpha(static_cast<unsigned char>(symbol[1])) ? 2 : 1;
  site.charge_unreadable = !read_charge(symbol.substr(letters), site.charge);
  if (site.charge_unreadable) site.charge = 0;
}

void read_sites(cif::Block& block, CifStructure& s, Warnings& warnings) {
  enum { kLabel, kType, kX, kY, kZ, kOcc, kU, kB };
  cif::Table table = block.find("_atom_site_", {"label", "?type_symbol", "fract_x", "fract_y", "fract_z",
                                                "?occupancy", "?U_iso_or_equiv", "?B_iso_or_equiv"});
  if (!table.ok() || table.length() == 0)
    fail_conversion(s.source + ": data_" + block.name +
                    ": no atoms: no loop of atom sites with _atom_site_label and _atom_site_fract_x, _y, _z");
  const Place place{s.source,
                    table.loop_item != nullptr ? table.loop_item : &block.items.at(table.positions[0])};
  std::vector<std::string> without_b;
  bool without_type = false;
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    CifSite site;
    site.label = cif::as_string(row[kLabel]);
    const std::string about = "atom '" + site.label + "': ";
    without_type = without_type || !row.has2(kType);
    site.type_symbol = row.has2(kType) ? cif::as_string(row[kType]) : site.label;
    read_type(site, where);
    static const char* const axis_tags[3] = {"_atom_site_fract_x", "_atom_site_fract_y",
                                             "_atom_site_fract_z"};
    for (int k = 0; k < 3; ++k) site.fract[k] = number_or_fail(row[kX + k], where, about + axis_tags[k]);
    if (row.has2(kOcc)) site.occ = number_or_fail(row[kOcc], where, about + "_atom_site_occupancy");
    if (row.has2(kU)) {
      site.biso = gemmi::u_to_b() * number_or_fail(row[kU], where, about + "_atom_site_U_iso_or_equiv");
    } else if (row.has2(kB)) {
      site.biso = number_or_fail(row[kB], where, about + "_atom_site_B_iso_or_equiv");
    } else {
      without_b.push_back(site.label);
    }
    s.sites.push_back(site);
  }
  if (without_type)
    warnings.add(s.source + ": atoms without _atom_site_type_symbol are typed by their labels");
  if (!without_b.empty()) {
    // A few labels say which atoms; a file without any displacement says so in one line.
    std::string labels;
    for (std::size_t i = 0; i < without_b.size() && i < 5; ++i) labels += (i == 0 ? "" : ", ") + without_b[i];
    if (without_b.size() > 5) labels += " and " + std::to_string(without_b.size() - 5) + " more";
    warnings.add(s.source + ": B = 0 for atoms without U_iso_or_equiv or B_iso_or_equiv: " + labels);
  }
}

void read_moments(cif::Block& block, CifStructure& s, Warnings& warnings) {
  if (!block.has_tag("_atom_site_moment_label")) {
    if (s.magnetic_operations)
      warnings.add(s.source +
                   ": magnetic operations but no moments (_atom_site_moment.label): no atom is magnetic");
    return;
  }
  cif::Table table =
      block.find("_atom_site_moment_", {"label", "crystalaxis_x", "crystalaxis_y", "crystalaxis_z"});
  if (!table.ok())
    fail_conversion(
        s.source + ": data_" + block.name +
        ": the moments lack _atom_site_moment.crystalaxis_x, _y or _z (components along the axes)");
  if (!s.magnetic_operations)
    warnings.add(s.source + ": moments but no magnetic operations: no operation reverses time");
  std::map<std::string, std::size_t> index;
  for (std::size_t i = 0; i < s.sites.size(); ++i) index.emplace(s.sites[i].label, i);
  const Place place{s.source,
                    table.loop_item != nullptr ? table.loop_item : &block.items.at(table.positions[0])};
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    const std::string label = cif::as_string(row[0]);
    auto found = index.find(label);
    if (found == index.end())
      fail_conversion(where + ": moment of '" + label + "': no atom site has that label");
    CifSite& site = s.sites[found->second];
    if (site.magnetic) fail_conversion(where + ": a second moment for atom '" + label + "'");
    site.magnetic = true;
    static const char* const axis_tags[3] = {"crystalaxis_x", "crystalaxis_y", "crystalaxis_z"};
    for (int k = 0; k < 3; ++k)
      site.moment[k] = number_or_fail(row[1 + k], where, "moment of '" + label + "': " + axis_tags[k]);
  }
}

}  // namespace

cif::Document read_cif_file(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    fail_conversion(
        path + ": cannot read: " + (std::filesystem::exists(path, error) ? "not a file" : "no such file"));
  std::ifstream file(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) fail_conversion(path + ": cannot read: " + std::strerror(errno));
  // A byte-order mark, as editors on Windows write one, is not part of the CIF.
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  try {
    return cif::read_memory(text.data(), text.size(), path.c_str());
  } catch (const std::exception& e) {
    const std::string what = e.what();
    fail_conversion(what.find(path) == std::string::npos ? path + ": " + what : what);
  }
}

CifStructure read_cif_structure(cif::Document& document, const std::string& block_name, Warnings& warnings) {
  CifStructure s;
  s.source = document.source;
  cif::Block& block = choose_block(document, block_name, warnings);
  s.block = block.name;
  s.cell = read_cell(block, s.source);
  read_symmetry(block, s, warnings);
  read_sites(block, s, warnings);
  read_moments(block, s, warnings);
  return s;
}

}  // namespace velmora::cif
