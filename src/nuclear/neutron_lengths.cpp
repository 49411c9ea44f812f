// The rows of V. F. Sears, Neutron News 3 (3) (1992) 26-37, Table 1, in fm: the
// bound coherent length b' - i|b''|, its imaginary part at 2200 m/s. An isotope's
// name is its mass number and symbol, as the table writes it (2H is deuterium).
#include "nuclear/neutron_lengths.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmora {
namespace {

// clang-format off
constexpr std::array kRows = {
    // natural elements whose length has an imaginary part
    NeutronLength{"B", 5.30, -0.213},
    NeutronLength{"Cd", 4.87, -0.70},
    NeutronLength{"In", 4.065, -0.0539},
    NeutronLength{"Sm", 0.80, -1.65},
    NeutronLength{"Eu", 7.22, -1.26},
    NeutronLength{"Gd", 6.5, -13.82},
    NeutronLength{"Dy", 16.9, -0.276},
    // isotopes
    NeutronLength{"1H", -3.7406, 0},
    NeutronLength{"2H", 6.671, 0},
    NeutronLength{"6Li", 2.00, -0.261},
    NeutronLength{"7Li", -2.22, 0},
    NeutronLength{"10B", -0.1, -1.066},
    NeutronLength{"11B", 6.65, 0},
    NeutronLength{"13C", 6.19, 0},
    NeutronLength{"15N", 6.44, 0},
    NeutronLength{"18O", 5.84, 0},
    NeutronLength{"48Ti", -6.08, 0},
    NeutronLength{"52Cr", 4.920, 0},
    NeutronLength{"54Fe", 4.2, 0},
    NeutronLength{"56Fe", 9.94, 0},
    NeutronLength{"57Fe", 2.3, 0},
    NeutronLength{"58Ni", 14.4, 0},
    NeutronLength{"60Ni", 2.8, 0},
    NeutronLength{"62Ni", -8.7, 0},
    NeutronLength{"63Cu", 6.43, 0},
    NeutronLength{"65Cu", 10.61, 0},
    NeutronLength{"113Cd", -8.0, -5.73},
    NeutronLength{"114Cd", 7.5, 0},
    NeutronLength{"115In", 4.01, -0.0562},
    NeutronLength{"147Sm", 14.0, 0},
    NeutronLength{"149Sm", -19.2, -11.7},
    NeutronLength{"152Sm", -5.0, 0},
    NeutronLength{"154Sm", 9.3, 0},
    NeutronLength{"151Eu", 6.13, -2.53},
    NeutronLength{"153Eu", 8.22, 0},
    NeutronLength{"155Gd", 6.0, -17.0},
    NeutronLength{"157Gd", -1.14, -71.9},
    NeutronLength{"158Gd", 9.0, 0},
    NeutronLength{"160Gd", 9.15, 0},
    NeutronLength{"161Dy", 10.3, 0},
    NeutronLength{"162Dy", -1.4, 0},
    NeutronLength{"163Dy", 5.0, 0},
    NeutronLength{"164Dy", 49.4, -0.79},
    NeutronLength{"242Pu", 8.1, 0},
};
// clang-format on

bool is_isotope(std::string_view name) {
  return !name.empty() && std::isdigit(static_cast<unsigned char>(name.front()));
}

}  // namespace

std::span<const NeutronLength> neutron_length_rows() { return kRows; }

const NeutronLength* natural_absorber(std::string_view element) {
  const auto row = std::find_if(kRows.begin(), kRows.end(),
                                [element](const NeutronLength& r) { return r.name == element; });
  return row == kRows.end() || is_isotope(element) ? nullptr : &*row;
}

const NeutronLength* isotope_length(std::string_view name) {
  if (name == "D") name = "2H";
  if (!is_isotope(name)) return nullptr;
  const auto row =
      std::find_if(kRows.begin(), kRows.end(), [name](const NeutronLength& r) { return r.name == name; });
  return row == kRows.end() ? nullptr : &*row;
}

std::string_view isotope_element(std::string_view name) {
  if (name == "D") return "H";
  const auto symbol = std::find_if(name.begin(), name.end(),
                                   [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); });
  return name.substr(static_cast<std::size_t>(symbol - name.begin()));
}

std::string isotopes_of(std::string_view element) {
  std::string names;
  for (const NeutronLength& row : kRows)
    if (is_isotope(row.name) && isotope_element(row.name) == element)
      names += (names.empty() ? "" : ", ") + std::string(row.name);
  return names;
}

double imaginary_at(const NeutronLength& length, double wavelength) {
  return length.imaginary * wavelength / kThermalWavelength;
}

}  // namespace velmora
