// Matching a user's name against the sites of a crystal.
#include "model/atom_names.hpp"

#include <cctype>

namespace velmora {

std::string label_element(std::string_view label) {
  if (label.empty() || !std::isupper(static_cast<unsigned char>(label[0]))) return {};
  const bool two = label.size() > 1 && std::islower(static_cast<unsigned char>(label[1])) && label[1] != 'x';
  return std::string(label.substr(0, two ? 2 : 1));
}

bool names_atom(const Crystal& crystal, std::string_view name) {
  for (const CrystalSite& site : crystal.sites) {
    const std::string_view type = trimmed_text_of(site.atype);
    if (name == site.label || name == site.element || name == type || name == label_element(type))
      return true;
  }
  return false;
}

}  // namespace velmora
