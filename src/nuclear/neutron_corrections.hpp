// The companions' neutron lengths of a crystal's atoms: an isotope chosen for an
// element or a site (--isotope Gd=160Gd, the module's isotopes=) replaces
// velmora's length, and an absorbing element keeps velmora's real part and adds
// its imaginary part at the wavelength. What is left is velmora's table.
#pragma once

#include <complex>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {

// Isotope by name: an element (Gd), a site label (Gd1) or an atom type (Gd3).
using IsotopeChoices = std::map<std::string, std::string>;

inline constexpr std::string_view kIsotopeOption = "--isotope";

// An imaginary part above this share of |b'| changes intensities by more than
// about 0.25 % (|b|^2 grows by (b''/b')^2) and marks a strong absorber, whose
// intensities also depend on the sample's absorption: the natural length is
// then warned of.
inline constexpr double kAbsorptionShare = 0.05;

// Why a choice cannot be used: an isotope the table lacks (naming those it has),
// or an isotope of another element than the atoms the name picks; none when
// every choice fits. option: how the program calls the choice.
std::optional<std::string> isotope_choice_fault(const Crystal& crystal, const IsotopeChoices& isotopes,
                                                const std::string& option);

// The isotope chosen for the atoms of the site (its label first, then its atom
// type, then its element); null when none is.
const std::string* isotope_chosen(const CrystalSite& site, const IsotopeChoices& isotopes);

struct NeutronCorrections {
  // Per atom, b - b(table) + i b'' in the table's unit (10^-12 cm); empty when
  // every atom keeps velmora's length.
  std::vector<std::complex<double>> neutron;
  std::string lengths;                // "Gd=160Gd 9.1500 0.0000i, B 5.3000 -0.2130i"; empty when empty
  std::string text;                   // the lengths for a model line, with their source and wavelength
  std::vector<std::string> warnings;  // natural absorbers whose b'' matters
};

// The corrections at the wavelength in angstroms; without one (nullopt) the
// imaginary parts are those of 1.798 angstroms, and the text says so.
NeutronCorrections neutron_corrections(const Crystal& crystal, const ScatteringTables& tables,
                                       const IsotopeChoices& isotopes, std::optional<double> wavelength,
                                       const std::string& option);

}  // namespace velmora
