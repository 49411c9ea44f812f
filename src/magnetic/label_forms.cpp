// A label's ion is read from the label itself, as velmora's tables write
// them: the element padded with x is the neutral atom, a charge digit (with
// an optional sign +) the ion. Whether velmora's <j0> table has the label
// decides whether the j0 model keeps velmora's own row.
#include "magnetic/label_forms.hpp"

#include <algorithm>
#include <cctype>
#include <span>

#include "scattering/symbol_lookup.hpp"

namespace velmora {

std::pair<std::string, std::string> element_and_ion(std::string_view label) {
  if (label.empty() || !std::isupper(static_cast<unsigned char>(label[0]))) return {};
  const bool two = label.size() > 1 && std::islower(static_cast<unsigned char>(label[1])) && label[1] != 'x';
  const std::string element(label.substr(0, two ? 2 : 1));
  const std::string_view rest = label.substr(element.size());
  if (rest.find_first_not_of('x') == std::string_view::npos) return {element, element + "0"};
  if (std::isdigit(static_cast<unsigned char>(rest[0])) && (rest.size() == 1 || rest.substr(1) == "+"))
    return {element, element + rest[0]};
  return {};
}

std::vector<MagneticForm> forms_of_labels(const Structure& structure, const ScatteringTables& tables,
                                          MagneticFormChooser& chooser, const LabelFormChoices& choices,
                                          const std::function<std::string(const std::string&)>& how_to_name,
                                          std::vector<std::string>& warnings) {
  const auto velmora_rows = std::span(tables.magnetic).first(kMagneticRows);
  const auto nuclear_rows = std::span(tables.neutron).first(kNeutronRows);
  std::vector<MagneticForm> forms;
  for (const AtomSite& atom : structure.magnetic) {
    const std::string label(text_of(atom.atype));
    if (find_symbol_row(atom.atype, nuclear_rows, [](const NeutronLengthRow& r) { return r.nion; }) ==
        kUnknownSymbol) {
      forms.emplace_back();
      continue;
    }
    const auto [element, ion] = element_and_ion(label);
    MagneticAtom wanted{ion,
                        find_symbol_row(atom.atype, velmora_rows,
                                        [](const MagneticFormRow& r) { return r.mion; }) != kUnknownSymbol,
                        std::nullopt, false};
    if (const auto named = choices.ions.find(label); named != choices.ions.end()) {
      wanted.ion = named->second;
      wanted.named = true;
    }
    if (const auto g = choices.g.find(label); g != choices.g.end())
      wanted.g = g->second;
    else if (const auto by_element = choices.g.find(element); by_element != choices.g.end())
      wanted.g = by_element->second;
    if (wanted.ion.empty() && (chooser.model() == MagneticModel::dipole || !wanted.in_velmora_table))
      throw MagneticModelError("magnetic atom type \"" + label + "\" names no ion of " +
                               std::string(kMagneticIonFileName) + "; name one with " + how_to_name(label));
    std::vector<std::string> notes;
    try {
      forms.push_back(chooser.form_of(wanted, notes));
    } catch (const MagneticModelError& e) {
      chooser.table();  // an ion table that cannot be read is no fault of the name
      throw MagneticModelError("magnetic atom type \"" + label + "\": " + e.what() + " (name the ion with " +
                               how_to_name(label) + ")");
    }
    for (const std::string& note : notes)
      if (std::find(warnings.begin(), warnings.end(), note) == warnings.end()) warnings.push_back(note);
  }
  return forms;
}

}  // namespace velmora
