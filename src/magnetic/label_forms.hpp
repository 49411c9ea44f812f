// The magnetic form factor of each magnetic atom of a structure read as
// velmora reads it, where an atom is known only by its table label (Fex,
// Fe3, Irx): the label names its ion (Fe0, Fe3, Ir0) unless the user names
// another, and the model chooses the form. For answer files and for
// structures given as values, which carry no charge of their own.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "magnetic/magnetic_form_model.hpp"
#include "structure/structure.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {

// The element of a table label (Fe of Fex, Fe3; V of V3+; O of Oxx) and the
// ion-table name of its ion (Fe0, Fe3, V3); both empty for a label of no
// such form.
std::pair<std::string, std::string> element_and_ion(std::string_view label);

// The user's choices, by label (or, for g, by label or element).
struct LabelFormChoices {
  std::map<std::string, std::string> ions;  // label: ion-table name (Irx: Ir4, Wx: W0:6s1)
  std::map<std::string, double> g;          // label or element: Landé factor (dipole model)
};

// One form per magnetic atom, in input order. A label the X-ray and neutron
// tables lack gets velmora's row, for the reflection loop to report. The
// chooser's warnings go to warnings, each once. A label that names no ion
// the model can use fails with MagneticModelError whose message ends with
// how_to_name(label), the caller's words for naming the ion.
std::vector<MagneticForm> forms_of_labels(const Structure& structure, const ScatteringTables& tables,
                                          MagneticFormChooser& chooser, const LabelFormChoices& choices,
                                          const std::function<std::string(const std::string&)>& how_to_name,
                                          std::vector<std::string>& warnings);

}  // namespace velmora
