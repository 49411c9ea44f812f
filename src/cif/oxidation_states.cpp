// The common states are the chemist's short list; the further states are the
// oxidation states of the ICSD as Debian's python3-pymatgen lists them
// (Element.icsd_oxidation_states with its common_oxidation_states), with three
// it lacks that magnets are made of (SrFeO3's Fe4+, Ba3Mn2O8's Mn5+, KOsO4's
// Os7+); the last list adds the ions of the magnetic form-factor data.
#include "cif/oxidation_states.hpp"

#include <string_view>
#include <unordered_map>

namespace velmora::cif {
namespace {

using StateTable = std::unordered_map<std::string_view, std::vector<int>>;

const StateTable& common_states() {
  static const StateTable table = {
      {"H", {1}},           {"Li", {1}},          {"Be", {2}},        {"B", {3}},       {"C", {4, -4}},
      {"N", {-3, 5}},       {"O", {-2}},          {"F", {-1}},        {"Na", {1}},      {"Mg", {2}},
      {"Al", {3}},          {"Si", {4}},          {"P", {5, -3}},     {"S", {-2, 6}},   {"Cl", {-1}},
      {"K", {1}},           {"Ca", {2}},          {"Sc", {3}},        {"Ti", {4, 3}},   {"V", {3, 4, 5}},
      {"Cr", {3, 2, 6}},    {"Mn", {2, 3, 4}},    {"Fe", {3, 2}},     {"Co", {2, 3}},   {"Ni", {2, 3}},
      {"Cu", {2, 1}},       {"Zn", {2}},          {"Ga", {3}},        {"Ge", {4}},      {"As", {5, 3, -3}},
      {"Se", {-2, 4, 6}},   {"Br", {-1}},         {"Rb", {1}},        {"Sr", {2}},      {"Y", {3}},
      {"Zr", {4}},          {"Nb", {5, 4}},       {"Mo", {6, 4, 5}},  {"Tc", {4, 7}},   {"Ru", {4, 3, 5}},
      {"Rh", {3, 4}},       {"Pd", {2, 4}},       {"Ag", {1}},        {"Cd", {2}},      {"In", {3}},
      {"Sn", {4, 2}},       {"Sb", {5, 3, -3}},   {"Te", {-2, 4, 6}}, {"I", {-1}},      {"Cs", {1}},
      {"Ba", {2}},          {"La", {3}},          {"Ce", {3, 4}},     {"Pr", {3, 4}},   {"Nd", {3}},
      {"Pm", {3}},          {"Sm", {3, 2}},       {"Eu", {3, 2}},     {"Gd", {3}},      {"Tb", {3, 4}},
      {"Dy", {3}},          {"Ho", {3}},          {"Er", {3}},        {"Tm", {3}},      {"Yb", {3, 2}},
      {"Lu", {3}},          {"Hf", {4}},          {"Ta", {5}},        {"W", {6, 4, 5}}, {"Re", {4, 5, 6, 7}},
      {"Os", {4, 5, 6}},    {"Ir", {4, 3, 5}},    {"Pt", {2, 4}},     {"Au", {3, 1}},   {"Hg", {2, 1}},
      {"Tl", {1, 3}},       {"Pb", {2, 4}},       {"Bi", {3, 5}},     {"Th", {4}},      {"U", {4, 6, 3, 5}},
      {"Np", {5, 4, 3, 6}}, {"Pu", {4, 3, 5, 6}}, {"Am", {3, 4}},
  };
  return table;
}

const StateTable& further_states() {
  static const StateTable table = {
      {"H", {-1}},           {"B", {-3}},          {"C", {-2, 2, -3, 3}},
      {"N", {-1, 1, -2, 3}}, {"Si", {-4}},         {"P", {-1, -2, 3, 4}},
      {"S", {-1, 2, 4}},     {"Cl", {1, 3, 5, 7}}, {"Sc", {2}},
      {"Ti", {2}},           {"V", {2}},           {"Cr", {4, 5}},
      {"Mn", {5, 7}},        {"Fe", {4}},          {"Co", {4, 1}},
      {"Ni", {4, 1}},        {"Cu", {3}},          {"Ga", {2}},
      {"Ge", {2, 3, -4}},    {"As", {-1, -2, 2}},  {"Se", {-1, 2}},
      {"Br", {1, 3, 5, 7}},  {"Zr", {2, 3}},       {"Nb", {2, 3}},
      {"Mo", {2, 3}},        {"Ru", {2, 6}},       {"Ag", {2, 3}},
      {"In", {1, 2}},        {"Sn", {3, -4}},      {"Sb", {-1, -2}},
      {"Te", {-1, 2}},       {"I", {1, 3, 5, 7}},  {"La", {2}},
      {"Nd", {2}},           {"Ta", {3, 4}},       {"W", {2, 3}},
      {"Re", {3}},           {"Os", {7}},          {"Bi", {1, 2}},
      {"Po", {-2, 2, 4}},    {"At", {-1, 1}},      {"Fr", {1}},
      {"Ra", {2}},           {"Ac", {3}},          {"Pa", {5}},
  };
  return table;
}

const StateTable& form_factor_states() {
  static const StateTable table = {
      {"Sc", {1}},       {"Ti", {1}},       {"V", {1}},           {"Cr", {1}},       {"Mn", {1}},
      {"Fe", {1}},       {"Cu", {4}},       {"Zr", {1}},          {"Nb", {1}},       {"Mo", {1}},
      {"Tc", {1}},       {"Ru", {1}},       {"Rh", {1}},          {"Pd", {1}},       {"Ce", {2}},
      {"Gd", {2}},       {"Tb", {2}},       {"Dy", {2}},          {"Ho", {2}},       {"Er", {2}},
      {"Tm", {2}},       {"Hf", {2, 3}},    {"Ta", {2}},          {"W", {1}},        {"Re", {1, 2}},
      {"Os", {1, 2, 3}}, {"Ir", {1, 2, 6}}, {"Pt", {1, 3, 5, 6}}, {"Au", {2, 4, 5}}, {"Am", {2, 5, 6, 7}},
  };
  return table;
}

void append(std::vector<int>& states, const StateTable& table, gemmi::Element element) {
  const auto found = table.find(element.name());
  if (found != table.end()) states.insert(states.end(), found->second.begin(), found->second.end());
}

}  // namespace

std::vector<int> oxidation_states(gemmi::Element element, StateList list) {
  std::vector<int> states;
  append(states, common_states(), element);
  if (list != StateList::common) append(states, further_states(), element);
  if (list == StateList::all) append(states, form_factor_states(), element);
  return states;
}

std::vector<int> common_oxidation_states(gemmi::Element element) {
  return oxidation_states(element, StateList::common);
}

bool open_shell(gemmi::Element element, int charge) {
  const int z = element.atomic_number();
  // Electrons in the shell that fills across the row: 3d from K, 4d from Rb,
  // 4f from La (lanthanides: 4f^(Z-54-q)), 5d from Hf, 5f from Ac.
  int electrons = -1, full = 10;
  if (z >= 19 && z <= 30) electrons = z - 18 - charge;
  if (z >= 37 && z <= 48) electrons = z - 36 - charge;
  if (z >= 57 && z <= 71) electrons = z - 54 - charge, full = 14;
  if (z >= 72 && z <= 80) electrons = z - 68 - charge;
  if (z >= 89 && z <= 103) electrons = z - 86 - charge, full = 14;
  return electrons > 0 && electrons < full;
}

}  // namespace velmora::cif
