// velmora-cif's corrections to the free-atom scattering of a run: the X-ray
// dispersion at --wavelength, the neutron lengths of isotopes (--isotope) and of
// absorbing elements at --wavelength, and the words that say what gave |FX|^2
// and |FN|^2. Without --wavelength an isotope's b'' is that of 1.798 angstroms.
#pragma once

#include <string>
#include <vector>

#include "cif/conversion.hpp"
#include "scattering/atom_corrections.hpp"
#include "structure/structure.hpp"

namespace velmora::cif {

// The corrections the options ask for; none without --dispersion, --wavelength or --isotope.
AtomCorrections scattering_corrections(const Options& options, const CifCrystal& cif,
                                       const Structure& structure);

// What gave |FX|^2: "the free atoms' f0 (velmora's table)", or the f' and f'' used.
std::string xray_form_text(const Options& options, const Structure& structure);

// What gave |FN|^2: empty for velmora's table, else the isotopes and complex lengths used.
std::string neutron_length_text(const Options& options, const CifCrystal& cif);

// The warnings of the neutron lengths (absorbers whose b'' matters); an
// --isotope that cannot be used ends the conversion naming it.
std::vector<std::string> neutron_length_warnings(const Options& options, const CifCrystal& cif);

}  // namespace velmora::cif
