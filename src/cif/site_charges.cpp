// Reading the charge of each atom site from its type symbol or atom type.
#include "cif/site_charges.hpp"

#include <cctype>
#include <cmath>
#include <gemmi/numb.hpp>
#include <gemmi/small.hpp>
#include <set>

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

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

}  // namespace

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

}  // namespace velmora::cif
