// The names by which a user picks atoms of a crystal for a choice of ion or
// Landé factor: a site label, an element, or an atom type (table label), and
// the element a table label stands for.
#pragma once

#include <string>
#include <string_view>

#include "model/crystal.hpp"

namespace velmora {

// The element of a table label (Fe of Fex, Fe3 and Fe2+; O of Oxx; He of
// Hex); empty for a label that starts with no capital letter.
std::string label_element(std::string_view label);

// Whether some atom of the crystal has this site label, element or atom type.
bool names_atom(const Crystal& crystal, std::string_view name);

}  // namespace velmora
