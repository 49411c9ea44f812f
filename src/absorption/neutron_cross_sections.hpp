// What takes neutrons out of the beam in a sample: each element's bound
// scattering and its absorption cross-sections (Sears 1992, with the sources in
// neutron_cross_sections.cpp).
#pragma once

#include <string_view>

#include "nuclear/neutron_lengths.hpp"

namespace velmora {

struct NeutronCrossSection {
  std::string_view element;  // a symbol (D for deuterium), or an isotope: 11B, 2H
  double scattering = 0;     // sigma_s, coherent and incoherent, barn
  double absorption = 0;     // sigma_a at kThermalWavelength (1.798 angstroms), barn
};

// The element's or the isotope's row (Fe, D, 11B); null when the table has none.
const NeutronCrossSection* neutron_cross_section(std::string_view element);

// sigma_s + sigma_a(lambda), barn: away from resonances absorption follows the
// 1/v law, sigma_a(lambda) = sigma_a(1.798) lambda / 1.798, and the bound
// scattering cross-section is taken as it is at every wavelength.
double neutron_attenuation(const NeutronCrossSection& row, double wavelength);

}  // namespace velmora
