// The dispersion of the run's atoms at the options' wavelength, computed
// once for the corrections and once more for the words (a few elements).
#include "cif/scattering_corrections.hpp"

#include "dispersion/xray_dispersion.hpp"

namespace velmora::cif {

AtomCorrections scattering_corrections(const Options& options, const Structure& structure) {
  if (options.dispersion == DispersionModel::none || !options.wavelength) return {};
  return xray_dispersion(structure, *options.wavelength).corrections;
}

std::string xray_form_text(const Options& options, const Structure& structure) {
  if (options.dispersion == DispersionModel::none || !options.wavelength)
    return "the free atoms' f0 (velmora's table)";
  return "f0 + " + dispersion_text(xray_dispersion(structure, *options.wavelength), *options.wavelength);
}

}  // namespace velmora::cif
