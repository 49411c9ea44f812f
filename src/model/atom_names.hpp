// The names by which a user picks atoms of a crystal for a choice of ion or
// Landé factor: a site label, an element, or an atom type (table label), and
// the element a table label stands for.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/crystal.hpp"

namespace velmora {

// The element of a table label (Fe of Fex, Fe3 and Fe2+; O of Oxx; He of
// Hex); empty for a label that starts with no capital letter.
std::string label_element(std::string_view label);

// Whether some atom of the crystal has this site label, element or atom type.
bool names_atom(const Crystal& crystal, std::string_view name);

// A warning for each name of a choice of ions and of Landé factors that names
// no atom of the crystal (ion_option, g_option: how the program calls the
// choice, "--ion" or "ions").
std::vector<std::string> unmatched_name_warnings(const Crystal& crystal, const std::string& ion_option,
                                                 const std::map<std::string, std::string>& ions,
                                                 const std::string& g_option,
                                                 const std::map<std::string, double>& g);

// The same for the phases of a mixture: a name is unmatched when it names an
// atom of none of them.
std::vector<std::string> unmatched_name_warnings(const std::vector<const Crystal*>& crystals,
                                                 const std::string& ion_option,
                                                 const std::map<std::string, std::string>& ions,
                                                 const std::string& g_option,
                                                 const std::map<std::string, double>& g);

}  // namespace velmora
