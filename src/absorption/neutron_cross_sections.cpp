// The bound cross-sections of the elements at natural abundance, in barn: the
// absorption cross-section at 2200 m/s of V. F. Sears, Neutron News 3 (3) (1992)
// 26-37, Table 1, as Debian's python3-cctbx holds it (cctbx.eltbx.neutron), and
// the total scattering cross-section (coherent and incoherent) of the same table
// as the Neutron Data Booklet (2003) reproduces it, taken from Debian's
// python3-periodictable; tests/absorption checks each against the other source.
// D is deuterium, whose scattering differs from H's by an order of magnitude.
// The isotopes a user may choose (--isotope) follow, with both cross-sections
// from the Booklet (periodictable), which cctbx's table lacks; their absorption
// is checked against Sears's b'' (sigma_a = 2 lambda |b''|).
#include "absorption/neutron_cross_sections.hpp"

#include <algorithm>
#include <array>

namespace velmora {
namespace {

// clang-format off
constexpr std::array kRows = {
    NeutronCrossSection{"H", 82.02, 0.3326},
    NeutronCrossSection{"D", 7.64, 0.000519},
    NeutronCrossSection{"He", 1.34, 0.00747},
    NeutronCrossSection{"Li", 1.37, 70.5},
    NeutronCrossSection{"Be", 7.63, 0.0076},
    NeutronCrossSection{"B", 5.24, 767},
    NeutronCrossSection{"C", 5.551, 0.0035},
    NeutronCrossSection{"N", 11.51, 1.9},
    NeutronCrossSection{"O", 4.232, 0.00019},
    NeutronCrossSection{"F", 4.018, 0.0096},
    NeutronCrossSection{"Ne", 2.628, 0.039},
    NeutronCrossSection{"Na", 3.28, 0.53},
    NeutronCrossSection{"Mg", 3.71, 0.063},
    NeutronCrossSection{"Al", 1.503, 0.231},
    NeutronCrossSection{"Si", 2.167, 0.171},
    NeutronCrossSection{"P", 3.312, 0.172},
    NeutronCrossSection{"S", 1.026, 0.53},
    NeutronCrossSection{"Cl", 16.8, 33.5},
    NeutronCrossSection{"Ar", 0.683, 0.675},
    NeutronCrossSection{"K", 1.96, 2.1},
    NeutronCrossSection{"Ca", 2.83, 0.43},
    NeutronCrossSection{"Sc", 23.5, 27.5},
    NeutronCrossSection{"Ti", 4.35, 6.09},
    NeutronCrossSection{"V", 5.1, 5.08},
    NeutronCrossSection{"Cr", 3.49, 3.05},
    NeutronCrossSection{"Mn", 2.15, 13.3},
    NeutronCrossSection{"Fe", 11.62, 2.56},
    NeutronCrossSection{"Co", 5.6, 37.18},
    NeutronCrossSection{"Ni", 18.5, 4.49},
    NeutronCrossSection{"Cu", 8.03, 3.78},
    NeutronCrossSection{"Zn", 4.131, 1.11},
    NeutronCrossSection{"Ga", 6.83, 2.75},
    NeutronCrossSection{"Ge", 8.6, 2.2},
    NeutronCrossSection{"As", 5.5, 4.5},
    NeutronCrossSection{"Se", 8.3, 11.7},
    NeutronCrossSection{"Br", 5.9, 6.9},
    NeutronCrossSection{"Kr", 7.68, 25},
    NeutronCrossSection{"Rb", 6.8, 0.38},
    NeutronCrossSection{"Sr", 6.25, 1.28},
    NeutronCrossSection{"Y", 7.7, 1.28},
    NeutronCrossSection{"Zr", 6.46, 0.185},
    NeutronCrossSection{"Nb", 6.255, 1.15},
    NeutronCrossSection{"Mo", 5.71, 2.48},
    NeutronCrossSection{"Tc", 6.3, 20},
    NeutronCrossSection{"Ru", 6.6, 2.56},
    NeutronCrossSection{"Rh", 4.6, 144.8},
    NeutronCrossSection{"Pd", 4.48, 6.9},
    NeutronCrossSection{"Ag", 4.99, 63.3},
    NeutronCrossSection{"Cd", 6.5, 2520},
    NeutronCrossSection{"In", 2.62, 193.8},
    NeutronCrossSection{"Sn", 4.892, 0.626},
    NeutronCrossSection{"Sb", 3.9, 4.91},
    NeutronCrossSection{"Te", 4.32, 4.7},
    NeutronCrossSection{"I", 3.81, 6.15},
    NeutronCrossSection{"Xe", 3.04, 23.9},
    NeutronCrossSection{"Cs", 3.9, 29},
    NeutronCrossSection{"Ba", 3.38, 1.1},
    NeutronCrossSection{"La", 9.66, 8.97},
    NeutronCrossSection{"Ce", 2.94, 0.63},
    NeutronCrossSection{"Pr", 2.66, 11.5},
    NeutronCrossSection{"Nd", 16.6, 50.5},
    NeutronCrossSection{"Pm", 21.3, 168.4},
    NeutronCrossSection{"Sm", 39.4, 5922},
    NeutronCrossSection{"Eu", 9.2, 4530},
    NeutronCrossSection{"Gd", 180.0, 49700},
    NeutronCrossSection{"Tb", 6.84, 23.4},
    NeutronCrossSection{"Dy", 90.3, 994},
    NeutronCrossSection{"Ho", 8.42, 64.7},
    NeutronCrossSection{"Er", 8.7, 159},
    NeutronCrossSection{"Tm", 6.38, 100},
    NeutronCrossSection{"Yb", 23.4, 34.8},
    NeutronCrossSection{"Lu", 7.2, 74},
    NeutronCrossSection{"Hf", 10.2, 104.1},
    NeutronCrossSection{"Ta", 6.01, 20.6},
    NeutronCrossSection{"W", 4.6, 18.3},
    NeutronCrossSection{"Re", 11.5, 89.7},
    NeutronCrossSection{"Os", 14.7, 16},
    NeutronCrossSection{"Ir", 14.0, 425},
    NeutronCrossSection{"Pt", 11.71, 10.3},
    NeutronCrossSection{"Au", 7.75, 98.65},
    NeutronCrossSection{"Hg", 26.8, 372.3},
    NeutronCrossSection{"Tl", 9.89, 3.43},
    NeutronCrossSection{"Pb", 11.118, 0.171},
    NeutronCrossSection{"Bi", 9.156, 0.0338},
    NeutronCrossSection{"Th", 13.36, 7.37},
    NeutronCrossSection{"U", 8.908, 7.57},
    // the isotopes of src/nuclear/neutron_lengths.cpp, from the Neutron Data Booklet (2003)
    NeutronCrossSection{"1H", 82.03, 0.3326},
    NeutronCrossSection{"2H", 7.64, 0.000519},
    NeutronCrossSection{"6Li", 0.97, 940},
    NeutronCrossSection{"7Li", 1.4, 0.0454},
    NeutronCrossSection{"10B", 3.1, 3835},
    NeutronCrossSection{"11B", 5.77, 0.0055},
    NeutronCrossSection{"13C", 4.84, 0.00137},
    NeutronCrossSection{"15N", 5.21, 2.4e-05},
    NeutronCrossSection{"18O", 4.29, 0.00016},
    NeutronCrossSection{"48Ti", 4.65, 7.84},
    NeutronCrossSection{"52Cr", 3.042, 0.76},
    NeutronCrossSection{"54Fe", 2.2, 2.25},
    NeutronCrossSection{"56Fe", 12.42, 2.59},
    NeutronCrossSection{"57Fe", 1, 2.48},
    NeutronCrossSection{"58Ni", 26.1, 4.6},
    NeutronCrossSection{"60Ni", 0.99, 2.9},
    NeutronCrossSection{"62Ni", 9.5, 14.5},
    NeutronCrossSection{"63Cu", 5.2, 4.5},
    NeutronCrossSection{"65Cu", 14.5, 2.17},
    NeutronCrossSection{"113Cd", 12.4, 20600},
    NeutronCrossSection{"114Cd", 7.1, 0.34},
    NeutronCrossSection{"115In", 2.57, 202},
    NeutronCrossSection{"147Sm", 39, 57},
    NeutronCrossSection{"149Sm", 200, 42080},
    NeutronCrossSection{"152Sm", 3.1, 206},
    NeutronCrossSection{"154Sm", 11, 8.4},
    NeutronCrossSection{"151Eu", 8.6, 9100},
    NeutronCrossSection{"153Eu", 9.8, 312},
    NeutronCrossSection{"155Gd", 66, 61100},
    NeutronCrossSection{"157Gd", 1044, 259000},
    NeutronCrossSection{"158Gd", 10, 2.2},
    NeutronCrossSection{"160Gd", 10.52, 0.77},
    NeutronCrossSection{"161Dy", 16, 600},
    NeutronCrossSection{"162Dy", 0.25, 194},
    NeutronCrossSection{"163Dy", 3.3, 124},
    NeutronCrossSection{"164Dy", 307, 2840},
    NeutronCrossSection{"242Pu", 8.2, 18.5},
};
// clang-format on

}  // namespace

const NeutronCrossSection* neutron_cross_section(std::string_view element) {
  const auto row = std::find_if(kRows.begin(), kRows.end(),
                                [element](const NeutronCrossSection& r) { return r.element == element; });
  return row == kRows.end() ? nullptr : &*row;
}

double neutron_attenuation(const NeutronCrossSection& row, double wavelength) {
  return row.scattering + row.absorption * wavelength / kThermalWavelength;
}

}  // namespace velmora
