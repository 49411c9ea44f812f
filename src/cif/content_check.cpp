// Reading _chemical_formula_sum (Ca Ti O3, Fe2.5 O4) and comparing it,
// times Z, with the atoms of the converted cell.
#include "cif/content_check.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <gemmi/numb.hpp>
#include <map>

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

// Counts that differ by no more than this, plus this fraction of the count,
// agree: occupancies are rounded in the files (three thirds of 0.333).
constexpr double kCountTolerance = 0.05;
constexpr double kRelativeTolerance = 0.02;

// Element symbol -> count; false when the formula is not a list of elements
// with optional counts.
bool parse_formula(const std::string& text, std::map<std::string, double>& counts) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  for (skip_blanks(); i < text.size(); skip_blanks()) {
    if (!std::isupper(static_cast<unsigned char>(text[i]))) return false;
    std::string symbol(1, text[i++]);
    if (i < text.size() && std::islower(static_cast<unsigned char>(text[i]))) symbol += text[i++];
    if (gemmi::find_element(symbol.c_str()) == gemmi::El::X) return false;
    const std::size_t start = i;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.')) ++i;
    const double n = i > start ? cif::as_number(text.substr(start, i - start)) : 1.0;
    if (!(n > 0 && n < 1e6)) return false;
    counts[symbol] += n;
  }
  return !counts.empty();
}

std::string formula_text(const std::map<std::string, double>& counts) {
  std::string out;
  for (const auto& [symbol, n] : counts) {
    char number[32];
    std::snprintf(number, sizeof number, "%.4g", n);
    out += (out.empty() ? "" : " ") + symbol + (std::string(number) == "1" ? "" : number);
  }
  return out;
}

}  // namespace

void read_formula(cif::Block& block, CifStructure& s) {
  const std::string* formula = block.find_value("_chemical_formula_sum");
  const std::string* z = block.find_value("_cell_formula_units_Z");
  if (formula == nullptr || z == nullptr || cif::is_null(*formula) || cif::is_null(*z)) return;
  s.formula_sum = cif::as_string(*formula);
  s.formula_units_z = cif::as_number(*z);
}

void check_content(const CifStructure& s, const std::vector<CellAtom>& atoms, Warnings& warnings) {
  if (s.formula_sum.empty()) return;
  std::map<std::string, double> stated;
  const double z = s.formula_units_z;
  if (!(z > 0 && z < 1e4) || !parse_formula(s.formula_sum, stated)) {
    warnings.add(s.source + ": _chemical_formula_sum '" + s.formula_sum + "' with _cell_formula_units_Z " +
                 std::to_string(z) + " cannot be read: the cell's content is not checked against them");
    return;
  }
  for (auto& [symbol, n] : stated) n *= z;
  std::map<std::string, double> held;
  for (const CellAtom& atom : atoms) {
    const CifSite& site = s.sites[atom.site];
    held[site.element.name()] += site.occ;
  }
  // Hydrogen atoms are often left out of the sites of an X-ray structure
  // while the formula counts them; without any in the sites, hydrogen is
  // not compared.
  if (held.count("H") == 0 && held.count("D") == 0) stated.erase("H"), stated.erase("D");
  bool agree = true;
  for (const auto& [symbol, n] : stated) {
    const double h = held.count(symbol) != 0 ? held.at(symbol) : 0.0;
    agree = agree && std::fabs(h - n) <= kCountTolerance + kRelativeTolerance * n;
  }
  for (const auto& [symbol, n] : held) agree = agree && (stated.count(symbol) != 0 || n <= kCountTolerance);
  if (!agree) {
    char zt[32];
    std::snprintf(zt, sizeof zt, "%g", z);
    warnings.add(s.source + ": the cell holds " + formula_text(held) +
                 " (occupancies summed), but the formula '" + s.formula_sum + "' times Z = " + zt +
                 " gives " + formula_text(stated) +
                 " (_chemical_formula_sum, _cell_formula_units_Z): the symmetry or the sites may be read"
                 " in the wrong setting");
  }
}

}  // namespace velmora::cif
