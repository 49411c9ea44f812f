// The names of the parameter groups and the reading of a list of them.
#include "rietveld/refine_choice.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace velmora::rietveld {
namespace {

constexpr std::array<std::pair<std::string_view, ParameterGroup>, 10> kNames = {{
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
}};

}  // namespace

bool RefineChoice::beyond_default() const {
  return all || std::any_of(groups.begin(), groups.end(), [](ParameterGroup g) {
           return g != ParameterGroup::scale && g != ParameterGroup::background && g != ParameterGroup::zero;
         });
}

std::string group_names() {
  std::string names;
  for (const auto& [name, group] : kNames) names += std::string(names.empty() ? "" : ", ") + std::string(name);
  return names + " or all";
}

std::optional<RefineChoice> refine_choice_of(std::string_view list, std::string& fault) {
  RefineChoice choice;
  choice.groups.clear();
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string_view word = list.substr(start, comma - start);
    start = comma + 1;
    if (word.empty()) {
      fault = "an empty name in the list; give names separated by single commas";
      return std::nullopt;
    }
    if (word == "all") {
      if (choice.all) {
        fault = "all is given twice";
        return std::nullopt;
      }
      choice.all = true;
      continue;
    }
    const auto known = std::find_if(kNames.begin(), kNames.end(), [&](const auto& n) { return n.first == word; });
    if (known == kNames.end()) {
      fault = "unknown parameters \"" + std::string(word) + "\"; give " + group_names();
      return std::nullopt;
    }
    if (!choice.groups.insert(known->second).second) {
      fault = std::string(word) + " is given twice";
      return std::nullopt;
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
  if (xray) choice.groups.insert({ParameterGroup::displacement, ParameterGroup::axial});
  else choice.groups.insert(ParameterGroup::asymmetry);
}

void choose_le_bail(std::optional<RefineChoice>& choice) {
  if (!choice) choice = RefineChoice{.all = true};
  choice->le_bail = true;
}

}  // namespace velmora::rietveld
