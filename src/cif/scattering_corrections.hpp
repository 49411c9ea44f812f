// velmora-cif's corrections to the free-atom scattering of a run: the X-ray
// dispersion at --wavelength, and the words that say what gave |FX|^2.
#pragma once

#include <string>

#include "cif/conversion.hpp"
#include "scattering/atom_corrections.hpp"
#include "structure/structure.hpp"

namespace velmora::cif {

// The corrections the options ask for; none without --dispersion or --wavelength.
AtomCorrections scattering_corrections(const Options& options, const Structure& structure);

// What gave |FX|^2: "the free atoms' f0 (velmora's table)", or the f' and f'' used.
std::string xray_form_text(const Options& options, const Structure& structure);

}  // namespace velmora::cif
