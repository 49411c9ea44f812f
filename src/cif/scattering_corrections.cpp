// The dispersion of the run's atoms at the options' wavelength, and their
// neutron lengths, computed once for the corrections and once more for the
// words (a few elements).
#include "cif/scattering_corrections.hpp"

#include "dispersion/xray_dispersion.hpp"
#include "nuclear/neutron_corrections.hpp"

namespace velmora::cif {
namespace {

// The neutron lengths with --isotope, or with --wavelength for the absorbers' b''.
std::optional<NeutronCorrections> neutron_lengths(const Options& options, const CifCrystal& cif) {
  if (!options.run || (!options.wavelength && options.isotopes.empty())) return std::nullopt;
  const std::string option(kIsotopeOption);
  if (const auto fault = isotope_choice_fault(cif.crystal, options.isotopes, option)) fail_conversion(*fault);
  return neutron_corrections(cif.crystal, cif.scattering, options.isotopes, options.wavelength, option);
}

}  // namespace

AtomCorrections scattering_corrections(const Options& options, const CifCrystal& cif,
                                       const Structure& structure) {
  AtomCorrections out;
  if (options.dispersion != DispersionModel::none && options.wavelength)
    out = xray_dispersion(structure, *options.wavelength).corrections;
  if (auto lengths = neutron_lengths(options, cif)) out.neutron = std::move(lengths->neutron);
  return out;
}

std::string xray_form_text(const Options& options, const Structure& structure) {
  if (options.dispersion == DispersionModel::none || !options.wavelength)
    return "the free atoms' f0 (velmora's table)";
  return "f0 + " + dispersion_text(xray_dispersion(structure, *options.wavelength), *options.wavelength);
}

std::string neutron_length_text(const Options& options, const CifCrystal& cif) {
  const auto lengths = neutron_lengths(options, cif);
  return lengths ? lengths->text : std::string();
}

std::vector<std::string> neutron_length_warnings(const Options& options, const CifCrystal& cif) {
  const auto lengths = neutron_lengths(options, cif);
  return lengths ? lengths->warnings : std::vector<std::string>();
}

}  // namespace velmora::cif
