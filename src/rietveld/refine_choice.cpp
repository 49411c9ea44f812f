// The names of the parameter groups and the reading of a list of them.
#include "rietveld/refine_choice.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace velmora::rietveld {
namespace {

constexpr std::array<std::pair<std::string_view, ParameterGroup>, 17> kNames = {{
    {"scale", ParameterGroup::scale},
    {"background", ParameterGroup::background},
    {"zero", ParameterGroup::zero},
    {"cell", ParameterGroup::cell},
    {"wavelength", ParameterGroup::wavelength},
    {"displacement", ParameterGroup::displacement},
    {"transparency", ParameterGroup::transparency},
    {"profile", ParameterGroup::profile},
    {"asymmetry", ParameterGroup::asymmetry},
    {"axial", ParameterGroup::axial},
    {"xyz", ParameterGroup::xyz},
    {"biso", ParameterGroup::biso},
    {"overall-biso", ParameterGroup::overall_biso},
    {"uaniso", ParameterGroup::uaniso},
    {"occupancy", ParameterGroup::occupancy},
    {"moments", ParameterGroup::moments},
    {"moment-sizes", ParameterGroup::moment_sizes},
}};

const std::pair<std::string_view, ParameterGroup>* group_named(std::string_view word) {
  const auto known =
      std::find_if(kNames.begin(), kNames.end(), [&](const auto& n) { return n.first == word; });
  return known == kNames.end() ? nullptr : &*known;
}

}  // namespace

bool is_structure_group(ParameterGroup g) {
  return g == ParameterGroup::xyz || g == ParameterGroup::biso || g == ParameterGroup::overall_biso ||
         g == ParameterGroup::uaniso || g == ParameterGroup::occupancy || g == ParameterGroup::moments ||
         g == ParameterGroup::moment_sizes;
}

bool RefineChoice::refines_structure() const {
  return std::any_of(groups.begin(), groups.end(), is_structure_group);
}

bool RefineChoice::beyond_default() const {
  return all || std::any_of(groups.begin(), groups.end(), [](ParameterGroup g) {
           return g != ParameterGroup::scale && g != ParameterGroup::background && g != ParameterGroup::zero;
         });
}

std::string group_names() {
  std::string names;
  for (const auto& [name, group] : kNames)
    names += std::string(names.empty() ? "" : ", ") + std::string(name);
  return names + " or all";
}

std::optional<RefineChoice> refine_choice_of(std::string_view list, std::string& fault) {
  RefineChoice choice;
  choice.groups.clear();
  std::size_t start = 0;
  std::optional<ParameterGroup> naming_sites;  // the structure group whose sites the list names
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string_view word = list.substr(start, comma - start);
    start = comma + 1;
    if (word.empty()) {
      fault = "an empty name in the list; give names separated by single commas";
      return std::nullopt;
    }
    const std::size_t colon = word.find(':');
    const std::string_view name = word.substr(0, colon);
    const auto* known = group_named(name);
    if (colon == std::string_view::npos && known == nullptr && naming_sites && word != "all") {
      choice.sites[*naming_sites].emplace_back(word);
      continue;
    }
    naming_sites.reset();
    if (word == "all") {
      if (choice.all) {
        fault = "all is given twice";
        return std::nullopt;
      }
      choice.all = true;
      continue;
    }
    if (known == nullptr) {
      fault = "unknown parameters \"" + std::string(name) + "\"; give " + group_names();
      return std::nullopt;
    }
    if (!choice.groups.insert(known->second).second) {
      fault = std::string(name) + " is given twice";
      return std::nullopt;
    }
    if (colon != std::string_view::npos) {
      const std::string_view site = word.substr(colon + 1);
      if (!is_structure_group(known->second) || known->second == ParameterGroup::overall_biso) {
        fault = std::string(name) + " names no sites (" + std::string(word) +
                "); only xyz, biso, uaniso, occupancy, moments and moment-sizes do";
        return std::nullopt;
      }
      if (site.empty()) {
        fault = "no site after " + std::string(name) + ": in " + std::string(word) + "; give " +
                std::string(name) + ":LABEL";
        return std::nullopt;
      }
      choice.sites[known->second].emplace_back(site);
      naming_sites = known->second;
    }
  }
  if (choice.has(ParameterGroup::wavelength) && (choice.has(ParameterGroup::cell) || choice.all)) {
    fault = std::string("the cell") + (choice.all ? " (in all)" : "") +
            " and the wavelength move every peak alike, so no pattern tells them apart; refine the"
            " cell, or the wavelength against a standard of known cell";
    return std::nullopt;
  }
  return choice;
}

void settle_all(RefineChoice& choice, bool xray) {
  if (!choice.all) return;
  for (ParameterGroup g : {ParameterGroup::scale, ParameterGroup::background, ParameterGroup::zero,
                           ParameterGroup::cell, ParameterGroup::profile})
    choice.groups.insert(g);
  if (xray)
    choice.groups.insert({ParameterGroup::displacement, ParameterGroup::axial});
  else
    choice.groups.insert(ParameterGroup::asymmetry);
  if (choice.le_bail) return;
  choice.xyz_by_all = !choice.has(ParameterGroup::xyz);
  choice.groups.insert(ParameterGroup::xyz);
  // One overall B asked for stands instead of each site's.
  if (!choice.has(ParameterGroup::overall_biso)) {
    choice.biso_by_all = !choice.has(ParameterGroup::biso);
    choice.groups.insert(ParameterGroup::biso);
  }
  // Neutrons see the moments; a site whose size alone is asked for keeps its direction.
  if (xray) return;
  choice.moments_by_all = !choice.has(ParameterGroup::moments);
  choice.groups.insert(ParameterGroup::moments);
}

void choose_le_bail(std::optional<RefineChoice>& choice) {
  if (!choice) {
    choice = RefineChoice{};
    choice->all = true;
  }
  choice->le_bail = true;
}

}  // namespace velmora::rietveld
