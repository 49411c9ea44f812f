// Reading a CIF or magnetic CIF with gemmi's parser and taking from its data
// block the cell, the symmetry and the atom sites with their moments. gemmi's
// small-structure reader is not used for the sites: it turns a value that is
// no number into a default without a word, where a conversion must stop and
// say which value of which atom is wrong.
#include "cif/cif_structure.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>
#include <gemmi/small.hpp>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "cif/cell_expansion.hpp"
#include "frontend/input_file.hpp"

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

constexpr std::size_t kMostBlocks = 10000;

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

// velmora stores every number in single precision: a value beyond it is refused.
double single_or_fail(double value, const std::string& where, const std::string& what,
                      const std::string& text) {
  if (!(std::fabs(value) <= FLT_MAX))
    fail_conversion(where + ": " + what + " '" + text + "' is beyond single precision");
  return value;
}

double number_or_fail(const std::string& text, const std::string& where, const std::string& what) {
  const double value = cif::as_number(text);
  if (std::isnan(value)) fail_conversion(where + ": " + what + " '" + text + "' is not a number");
  return single_or_fail(value, where, what, text);
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
    const float stored = static_cast<float>(value[i]);
    const bool good = i < 3 ? stored > 0 : stored > 0 && stored < 180;
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

// A space-group symbol as files write it, mapped to gemmi's: first as it
// stands; else with the old cubic spellings (m3m for m-3m), the full symbols'
// 2/m reduced to m, an origin or axes suffix (Z or S: origin choice 2 or 1;
// H or R, or "(hexagonal axes)": the axes) turned into gemmi's ":2" form.
const gemmi::SpaceGroup* find_group(std::string symbol, const gemmi::UnitCell& cell, bool& respelt) {
  respelt = false;
  if (const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(symbol, cell.alpha, cell.gamma))
    return group;
  respelt = true;
  std::string setting;
  if (const auto open = symbol.find('('); open != std::string::npos) {
    const std::string note = gemmi::to_lower(symbol.substr(open));
    setting = note.find("hex") != std::string::npos     ? "H"
              : note.find("rhomb") != std::string::npos ? "R"
                                                        : "";
    symbol.resize(open);
  }
  std::vector<std::string> words;
  for (std::size_t at = 0, end; at < symbol.size(); at = end) {
    at = symbol.find_first_not_of(" \t", at);
    if (at == std::string::npos) break;
    end = std::min(symbol.find_first_of(" \t", at), symbol.size());
    words.push_back(symbol.substr(at, end - at));
  }
  static const std::map<std::string, std::string> suffixes = {{"Z", "2"}, {"S", "1"}, {"H", "H"}, {"R", "R"}};
  if (words.size() > 2 && suffixes.count(words.back()) != 0) {
    setting = suffixes.at(words.back());
    words.pop_back();
  }
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (i > 1 && words[i].size() > 2 && words[i][0] == '2' && words[i].find('/') != std::string::npos)
      words[i] = words[i].substr(words[i].find('/') + 1);  // 2/m, 21/c of a full symbol
    if (i == 2 && words[i] == "3" && std::string("mnad").find(words[1][0]) != std::string::npos)
      words[i] = "-3";
  }
  std::string name;
  for (const std::string& word : words) name += (name.empty() ? "" : " ") + word;
  if (!setting.empty()) name += ":" + setting;
  return gemmi::find_spacegroup_by_name(name, cell.alpha, cell.gamma);
}

// gemmi's Hall parser adds a screw subscript (4_1) along the principal axis,
// which a symbol may lack (a diagonal axis, a one-fold axis after the first):
// it would index outside the translation. Such a symbol is refused first,
// with the axes found as gemmi finds them: written (x, y, z), or, for a
// symbol without a diagonal mark (' " *), implied for the first symbol and
// for a two-fold after a two- or four-fold. A long symbol is refused too:
// each translation letter adds to an int.
void check_hall(const std::string& symbol) {
  if (symbol.size() > 100) throw std::runtime_error("more than 100 characters");
  // gemmi reads the symbol as a C string, to its first NUL.
  for (char c : symbol)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
      throw std::runtime_error("a control character in the symbol");
  std::string text = symbol.substr(0, symbol.find('('));
  std::replace(text.begin(), text.end(), '_', ' ');  // gemmi reads _ as a blank
  std::istringstream words(text);
  std::string word;
  int position = 0, previous = 0;
  for (words >> word; words >> word;) {
    ++position;
    const std::size_t at = word[0] == '-' ? 1 : 0;
    if (word == "1" || at >= word.size() || word[at] < '1' || word[at] > '6') continue;
    const int order = word[at] - '0';
    const bool diagonal = word.find_first_of("'\"*", at + 1) != std::string::npos;
    const bool axis =
        word.find_first_of("xyz", at + 1) != std::string::npos ||
        (!diagonal && (position == 1 || (position == 2 && order == 2 && (previous == 2 || previous == 4))));
    if (!axis && word.find_first_of("12345", at + 1) != std::string::npos)
      throw std::runtime_error("a screw subscript without a principal axis: " + word);
    previous = order;
  }
}

std::string symbol_value(const std::string& value) {
  std::string symbol = cif::as_string(value);
  // A symbol quoted twice ("'-P 2ybc'") keeps its inner quotes.
  while (symbol.size() >= 2 && (symbol[0] == '\'' || symbol[0] == '"') && symbol.back() == symbol[0])
    symbol = symbol.substr(1, symbol.size() - 2);
  return symbol;
}

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
    std::vector<SymmetryOperation> ops = read_operation_column(magnetic, true, s.source);
    std::vector<SymmetryOperation> centerings = {{gemmi::Op::identity(), 1}};
    if (cif::Column column = block.find_values("_space_group_symop_magn_centering_xyz"))
      centerings = read_operation_column(column, true, s.source);
    if (ops.size() * centerings.size() > kMostOperations)
      fail_conversion(where + ": " + std::to_string(ops.size()) + " operations times " +
                      std::to_string(centerings.size()) + " centrings; at most " +
                      std::to_string(kMostOperations) + " operations are taken");
    s.operations = checked_group(combine_with_centerings(ops, centerings), where, warnings);
    return;
  }
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"})
    if (cif::Column column = block.find_values(tag)) {
      s.operations = checked_group(read_operation_column(column, false, s.source), where, warnings);
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
  const gemmi::SpaceGroup* group = nullptr;
  std::string hm_symbol;
  bool respelt = false;
  if (hm) {
    hm_symbol = symbol_value(*hm);
    group = find_group(hm_symbol, s.cell, respelt);
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
    if (read && group != nullptr && !group->operations().is_same_as(ops))
      warnings.add(s.source + ": the Hall symbol '" + symbol + "' and the symbol '" + hm_symbol +
                   "' (read as " + group->xhm() + ") give different operations; the Hall symbol's are used");
    if (read) {
      s.operations = checked_group(operations_of_group(ops), where, warnings);
      return;
    }
  }
  if (group != nullptr) {
    if (respelt) {
      warnings.add(s.source + ": space group '" + hm_symbol + "' is read as " + group->xhm());
    } else if ((group->ext == '1' || group->ext == '2') && hm_symbol.find(':') == std::string::npos) {
      warnings.add(s.source + ": space group '" + hm_symbol + "' has two origin choices; origin choice " +
                   std::string(1, group->ext) + " is used (" + group->xhm() +
                   "); list the operations, or name the setting, for the other");
    }
    s.operations = checked_group(operations_of_group(group->operations()), where, warnings);
    return;
  }
  fail_conversion(
      where +
      ": no symmetry: neither operations (_space_group_symop_operation_xyz,"
      " _symmetry_equiv_pos_as_xyz, _space_group_symop_magn_operation_xyz) nor a space-group"
      " symbol (_space_group_name_H-M_alt, _symmetry_space_group_name_H-M, _space_group_name_Hall)");
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

// The charges that the file's atom types give (_atom_type_symbol with
// _atom_type_oxidation_number, or a charged symbol), by type symbol, and by
// element where all the types of one element agree.
std::map<std::string, int> charges_of_types(cif::Block& block) {
  std::map<std::string, int> charges;
  std::map<std::string, std::set<int>> by_element;
  cif::Table table = block.find("_atom_type_", {"symbol", "?oxidation_number"});
  for (int i = 0; table.ok() && i < static_cast<int>(table.length()); ++i) {
    CifSite type;
    type.type_symbol = cif::as_string(table[i][0]);
    gemmi::split_element_and_charge(type.type_symbol, &type);
    if (type.element == gemmi::El::X) continue;
    int charge = type.charge;
    if (table[i].has2(1)) {
      const double number = cif::as_number(table[i][1]);
      if (!(std::fabs(number) <= 9) || number != std::nearbyint(number)) continue;
      charge = static_cast<int>(number);
    }
    charges[type.type_symbol] = charge;
    by_element[type.element.name()].insert(charge);
  }
  for (const auto& [element, set] : by_element)
    if (set.size() == 1) charges.emplace(element, *set.begin());
  return charges;
}

// Equivalent isotropic B of the sites that give only anisotropic displacements,
// by label: B_eq = 8 pi^2 U_eq, U_eq = 1/3 sum_ij U^ij a*_i a*_j (a_i . a_j),
// with U^ij read as U_ij, B_ij / (8 pi^2) or beta_ij / (2 pi^2 a*_i a*_j).
std::map<std::string, double> equivalent_b(cif::Block& block, const CifStructure& s) {
  const gemmi::UnitCell& c = s.cell;
  const double ca = std::cos(gemmi::rad(c.alpha)), cb = std::cos(gemmi::rad(c.beta)),
               cg = std::cos(gemmi::rad(c.gamma));
  const double metric[3][3] = {{c.a * c.a, c.a * c.b * cg, c.a * c.c * cb},
                               {c.a * c.b * cg, c.b * c.b, c.b * c.c * ca},
                               {c.a * c.c * cb, c.b * c.c * ca, c.c * c.c}};
  const double star[3] = {c.ar, c.br, c.cr};
  std::map<std::string, double> b_eq;
  for (const char* kind : {"U", "B", "beta"}) {
    const std::string k = kind;
    cif::Table table = block.find("_atom_site_aniso_", {"label", k + "_11", k + "_22", k + "_33",
                                                        "?" + k + "_12", "?" + k + "_13", "?" + k + "_23"});
    const Place place{s.source, table.ok() && table.loop_item ? table.loop_item : nullptr};
    for (int i = 0; table.ok() && i < static_cast<int>(table.length()); ++i) {
      const std::string where = place.item ? place.row(i) : s.source;
      const std::string label = cif::as_string(table[i][0]);
      static const int pair[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
      double u_eq = 0.0;
      for (int n = 0; n < 6; ++n) {
        if (!table[i].has2(1 + n)) continue;
        const auto [p, q] = pair[n];
        double u =
            number_or_fail(table[i][1 + n], where, "atom '" + label + "': _atom_site_aniso_" + k + "_ij");
        if (k == "B") u /= gemmi::u_to_b();
        if (k == "beta") u /= 2 * gemmi::pi() * gemmi::pi() * star[p] * star[q];
        u_eq += (p == q ? 1.0 : 2.0) * u * star[p] * star[q] * metric[p][q] / 3.0;
      }
      b_eq.emplace(label, single_or_fail(gemmi::u_to_b() * u_eq, where, "atom '" + label + "': B_eq", label));
    }
  }
  return b_eq;
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
  const std::map<std::string, int> type_charges = charges_of_types(block);
  const std::map<std::string, double> b_eq = equivalent_b(block, s);
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    CifSite site;
    site.label = cif::as_string(row[kLabel]);
    const std::string about = "atom '" + site.label + "': ";
    if (!row.has2(kType))
      warnings.add(s.source + ": atoms without _atom_site_type_symbol are typed by their labels", site.label);
    site.type_symbol = row.has2(kType) ? cif::as_string(row[kType]) : site.label;
    read_type(site, where);
    if (site.charge == 0) {
      auto given = type_charges.find(site.type_symbol);
      if (given == type_charges.end() && !site.charge_unreadable)
        given = type_charges.find(site.element.name());
      if (given != type_charges.end()) site.charge = static_cast<signed char>(given->second);
      if (given != type_charges.end()) site.charge_unreadable = false;
    }
    static const char* const axis_tags[3] = {"_atom_site_fract_x", "_atom_site_fract_y",
                                             "_atom_site_fract_z"};
    for (int k = 0; k < 3; ++k) site.fract[k] = number_or_fail(row[kX + k], where, about + axis_tags[k]);
    if (row.has2(kOcc)) site.occ = number_or_fail(row[kOcc], where, about + "_atom_site_occupancy");
    if (row.has2(kU)) {
      site.biso = single_or_fail(
          gemmi::u_to_b() * number_or_fail(row[kU], where, about + "_atom_site_U_iso_or_equiv"), where,
          about + "B = 8 pi^2 U of _atom_site_U_iso_or_equiv", row[kU]);
    } else if (row.has2(kB)) {
      site.biso = number_or_fail(row[kB], where, about + "_atom_site_B_iso_or_equiv");
    } else if (auto found = b_eq.find(site.label); found != b_eq.end()) {
      site.biso = found->second;
      warnings.add(s.source + ": B is the isotropic equivalent of the anisotropic displacements", site.label);
    } else {
      warnings.add(s.source + ": B = 0 for atoms without U_iso_or_equiv or B_iso_or_equiv", site.label);
    }
    s.sites.push_back(site);
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
  std::set<std::string> shared;
  for (std::size_t i = 0; i < s.sites.size(); ++i)
    if (!index.emplace(s.sites[i].label, i).second) shared.insert(s.sites[i].label);
  const Place place{s.source,
                    table.loop_item != nullptr ? table.loop_item : &block.items.at(table.positions[0])};
  std::set<std::string> given;
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    const std::string label = cif::as_string(row[0]);
    auto found = index.find(label);
    if (found == index.end())
      fail_conversion(where + ": moment of '" + label + "': no atom site has that label");
    if (shared.count(label) != 0)
      fail_conversion(where + ": moment of '" + label + "': more than one atom site has that label");
    if (!given.insert(label).second) fail_conversion(where + ": a second moment for atom '" + label + "'");
    CifSite& site = s.sites[found->second];
    static const char* const axis_tags[3] = {"crystalaxis_x", "crystalaxis_y", "crystalaxis_z"};
    for (int k = 0; k < 3; ++k)
      site.moment[k] = number_or_fail(row[1 + k], where, "moment of '" + label + "': " + axis_tags[k]);
    const double size = cartesian_moment(s.cell, site.moment).length();
    if (!(size <= FLT_MAX))
      fail_conversion(where + ": moment of '" + label + "': its size is beyond single precision");
    // Some programs write a row for every atom: a moment of zero makes no atom magnetic.
    site.magnetic = size > 0;
  }
}

}  // namespace

cif::Document read_cif_file(const std::string& path) {
  return parse_cif_text(frontend::read_input_file(path, "the CIF", frontend::kMostInputBytes), path);
}

namespace {

// What stands where the parser stopped, in words a person can act on.
std::string what_stands(const std::string& text, std::size_t at) {
  if (at >= text.size()) return "the file ends there (a tag or loop_ left without its values?)";
  const unsigned char c = static_cast<unsigned char>(text[at]);
  if (c < 0x20 && c != '\t' && c != '\n') {
    const char* hex = "0123456789abcdef";
    return std::string("a control character (byte 0x") + hex[c >> 4] + hex[c & 15] +
           "), which CIF does not allow";
  }
  const std::size_t line_start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
  const std::string shown = text.substr(at, std::min(text.find('\n', at), at + 20) - at);
  if (text.substr(line_start, at + 1 - line_start).find_first_of("[]{}") != std::string::npos)
    return "'" + shown + "': a bracket, which starts no value in CIF 1.1 (a CIF 2.0 list or table?)";
  return "'" + shown + "' cannot stand there";
}

}  // namespace

cif::Document parse_cif_text(std::string text, const std::string& name) {
  // A byte-order mark, as editors on Windows write one, is not part of the CIF.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\r') c = '\n';
    if (static_cast<unsigned char>(c) >= 0x80) c = '~';
    text[out++] = c;
  }
  text.resize(out);
  try {
    tao::pegtl::memory_input<> in(text.data(), text.size(), name);
    cif::Document document;
    document.source = name;
    cif::parse_input(document, in);
    // gemmi's check for repeated block names slows down with the square of
    // their number.
    if (document.blocks.size() > kMostBlocks)
      fail_conversion(name + ": " + std::to_string(document.blocks.size()) + " data blocks; at most " +
                      std::to_string(kMostBlocks) + " are read");
    cif::check_for_missing_values(document);
    cif::check_for_duplicates(document);
    return document;
  } catch (const ConversionError&) {
    throw;
  } catch (const tao::pegtl::parse_error& e) {
    const std::string what = e.what();
    const std::size_t at = e.positions().empty() ? text.size() : e.positions().front().byte;
    fail_conversion(what + ": " + (what.find(name) == std::string::npos ? name + ": " : "") +
                    what_stands(text, at));
  } catch (const std::exception& e) {
    const std::string what = e.what();
    fail_conversion(what.find(name) == std::string::npos ? name + ": " + what : what);
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
