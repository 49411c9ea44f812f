// The bound cross-sections of the elements at natural abundance, in barn: the
// absorption cross-section at 2200 m/s of V. F. Sears, Neutron News 3 (3) (1992)
// 26-37, Table 1, as Debian's python3-cctbx holds it (cctbx.eltbx.neutron), and
// the total scattering cross-section (coherent and incoherent) of the same table
// as the Neutron Data Booklet (2003) reproduces it, taken from Debian's
// python3-periodictable; tests/absorption checks each against the other source.
// D is deuterium, whose scattering differs from H's by an order of magnitude.
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
