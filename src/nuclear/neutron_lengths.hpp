// Bound coherent neutron scattering lengths b' + i b'' of the absorbing elements
// at natural abundance and of the isotopes users substitute, from V. F. Sears,
// "Neutron scattering lengths and cross sections", Neutron News 3 (3) (1992)
// 26-37, as the NIST table of them gives them. velmora's own table holds the
// real parts of the elements only; the companions take these where they matter.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace velmora {

// Sears tabulates the imaginary parts at 2200 m/s: a wavelength of 1.798 angstroms.
inline constexpr double kThermalWavelength = 1.798;

struct NeutronLength {
  std::string_view name;  // an element (natural abundance), or an isotope: 160Gd, 2H
  double real = 0;        // b', fm
  double imaginary = 0;   // b'' at kThermalWavelength, fm (negative: absorption)
};

// Every row: the natural elements with an imaginary part, then the isotopes.
std::span<const NeutronLength> neutron_length_rows();

// The natural element's row (B, Cd, In, Sm, Eu, Gd, Dy); null for an element
// whose length is real (velmora's table holds it).
const NeutronLength* natural_absorber(std::string_view element);

// The isotope's row by its name (160Gd; D for 2H); null when the table has none.
const NeutronLength* isotope_length(std::string_view name);

// The element of an isotope's name: Gd of 160Gd, H of 2H.
std::string_view isotope_element(std::string_view name);

// "155Gd, 157Gd, 158Gd, 160Gd": the table's isotopes of the element.
std::string isotopes_of(std::string_view element);

// b'' at the wavelength (angstroms) by the 1/v law, b''(l) = b''(1.798) l / 1.798:
// away from a resonance the absorption cross-section grows with the time a
// neutron spends near the nucleus.
double imaginary_at(const NeutronLength& length, double wavelength);

}  // namespace velmora
