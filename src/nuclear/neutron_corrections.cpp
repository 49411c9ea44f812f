// Each atom's length is found by its site label, then its atom type, then its
// element, the way --ion picks atoms; velmora's length of its atom type is the
// one its table row holds, so that the correction replaces exactly that.
#include "nuclear/neutron_corrections.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "model/atom_names.hpp"
#include "nuclear/neutron_lengths.hpp"
#include "scattering/symbol_lookup.hpp"

namespace velmora {
namespace {

// Deuterium is its own atom type in velmora's tables, an isotope of hydrogen here.
std::string element_of(const CrystalSite& site) {
  std::string element = site.element.empty() ? label_element(trimmed_text_of(site.atype)) : site.element;
  return element == "D" ? "H" : element;
}

// The choice that picks the site: its label first, then its atom type, then its element.
const std::pair<const std::string, std::string>* choice_of(const CrystalSite& site,
                                                           const IsotopeChoices& isotopes) {
  for (const std::string& name :
       {site.label, std::string(trimmed_text_of(site.atype)), element_of(site), site.element}) {
    if (name.empty()) continue;
    const auto choice = isotopes.find(name);
    if (choice != isotopes.end()) return &*choice;
  }
  return nullptr;
}

// velmora's length of the atom type (10^-12 cm); 0 for a type its table lacks,
// which the reflection loop refuses.
float table_length(const ScatteringTables& tables, const Symbol& atype) {
  const auto rows = std::span(tables.neutron).first(static_cast<std::size_t>(tables.nuclear_rows));
  const int row = find_symbol_row(atype, rows, [](const NeutronLengthRow& r) { return r.nion; });
  return row == kUnknownSymbol ? 0.0f : rows[static_cast<std::size_t>(row - 1)].bcoh;
}

std::string four_decimals(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", v);
  return text;
}

// One length of the model line: the name that chose it and b' b''i in fm.
struct ShownLength {
  std::string key;  // Gd (natural), Gd=160Gd, Gd1=160Gd
  double real = 0, imaginary = 0;
  bool natural = false;
};

std::string absorber_warning(const ShownLength& e, double wavelength, const std::string& option) {
  const double share = std::abs(e.imaginary) / std::abs(e.real);
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.1f %%", 100 * share);
  return e.key + ": the natural length's b'' is " + four_decimals(e.imaginary) + " fm at " +
         four_decimals(wavelength) + " Å, " + (std::isfinite(share) ? percent : "more") + " of |b'| (above " +
         std::to_string(static_cast<int>(100 * kAbsorptionShare)) +
         " %): it is strongly absorbing, and b'' follows the 1/v law only away from its resonances;"
         " for an enriched sample give its isotope (" +
         option + " " + e.key + "=ISOTOPE; the table has " + isotopes_of(e.key) + ")";
}

}  // namespace

const std::string* isotope_chosen(const CrystalSite& site, const IsotopeChoices& isotopes) {
  const auto* choice = choice_of(site, isotopes);
  return choice == nullptr ? nullptr : &choice->second;
}

std::optional<std::string> isotope_choice_fault(const Crystal& crystal, const IsotopeChoices& isotopes,
                                                const std::string& option) {
  for (const auto& [name, isotope] : isotopes) {
    const NeutronLength* row = isotope_length(isotope);
    std::string element = label_element(name);
    for (const CrystalSite& site : crystal.sites)
      if (choice_of(site, isotopes) != nullptr && choice_of(site, isotopes)->first == name)
        element = element_of(site);
    const std::string given = option + " " + name + "=" + isotope + ": ";
    if (row == nullptr) {
      const std::string known = isotopes_of(element);
      return given + "the table of neutron lengths has no isotope " + isotope +
             (known.empty() ? "; it has none of " + element : "; of " + element + " it has " + known);
    }
    if (isotope_element(row->name) != element)
      return given + std::string(row->name) + " is an isotope of " + std::string(isotope_element(row->name)) +
             ", and " + name + " names atoms of " + element;
  }
  return std::nullopt;
}

NeutronCorrections neutron_corrections(const Crystal& crystal, const ScatteringTables& tables,
                                       const IsotopeChoices& isotopes, std::optional<double> wavelength,
                                       const std::string& option) {
  const double lambda = wavelength.value_or(kThermalWavelength);
  NeutronCorrections out;
  std::vector<ShownLength> shown;
  bool any = false;
  for (const CrystalAtom& atom : crystal.atoms) {
    const CrystalSite& site = crystal.site_of(atom);
    const double table = table_length(tables, site.atype);
    ShownLength length;
    const auto* choice = choice_of(site, isotopes);
    if (const NeutronLength* row = choice ? isotope_length(choice->second) : nullptr) {
      length = {choice->first + "=" + std::string(row->name), row->real, imaginary_at(*row, lambda)};
    } else if (const NeutronLength* natural = natural_absorber(element_of(site))) {
      length = {std::string(natural->name), 10 * table, imaginary_at(*natural, lambda), true};
    } else {
      out.neutron.emplace_back();
      continue;
    }
    // The table holds one tenth of a length in fm (10^-12 cm).
    out.neutron.emplace_back(length.real / 10 - table, length.imaginary / 10);
    any = any || out.neutron.back() != std::complex<double>();
    if (std::none_of(shown.begin(), shown.end(), [&](const ShownLength& s) { return s.key == length.key; }))
      shown.push_back(length);
  }
  if (!any) {
    out.neutron.clear();
    return out;
  }
  for (const ShownLength& e : shown) {
    out.lengths += (out.lengths.empty() ? "" : ", ") + e.key + " " + four_decimals(e.real) + " " +
                   four_decimals(e.imaginary) + "i";
    if (e.natural && std::abs(e.imaginary) > kAbsorptionShare * std::abs(e.real))
      out.warnings.push_back(absorber_warning(e, lambda, option));
  }
  out.text = "b' b'' (fm, Sears 1992) at " + four_decimals(lambda) + " Å" +
             (wavelength ? "" : " (2200 m/s: no wavelength given)") + ": " + out.lengths +
             "; b'' by the 1/v law from 1.798 Å; other atoms velmora's table";
  return out;
}

}  // namespace velmora
