// Matching a user's name against the sites of a crystal.
#include "model/atom_names.hpp"

#include <algorithm>
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

std::vector<std::string> unmatched_name_warnings(const Crystal& crystal, const std::string& ion_option,
                                                 const std::map<std::string, std::string>& ions,
                                                 const std::string& g_option,
                                                 const std::map<std::string, double>& g) {
  return unmatched_name_warnings(std::vector<const Crystal*>{&crystal}, ion_option, ions, g_option, g);
}

std::vector<std::string> unmatched_name_warnings(const std::vector<const Crystal*>& crystals,
                                                 const std::string& ion_option,
                                                 const std::map<std::string, std::string>& ions,
                                                 const std::string& g_option,
                                                 const std::map<std::string, double>& g) {
  std::string sources;
  for (const Crystal* c : crystals) sources += (sources.empty() ? "" : " or ") + c->source;
  std::vector<std::string> out;
  const auto check = [&](const std::string& option, const std::string& name) {
    if (std::none_of(crystals.begin(), crystals.end(),
                     [&](const Crystal* c) { return names_atom(*c, name); }))
      out.push_back(option + " " + name + ": names no site, element or atom type of " + sources +
                    ", so it changes nothing");
  };
  for (const auto& entry : ions) check(ion_option, entry.first);
  for (const auto& entry : g) check(g_option, entry.first);
  return out;
}

}  // namespace velmora
