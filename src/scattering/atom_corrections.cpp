// The corrections' sums, apart from velmora's single-precision kernel: a
// correction is new physics and is computed in double throughout, from the
// stored single-precision sites and the reflection's h k l and s.
#include "scattering/atom_corrections.hpp"

#include <cmath>
#include <numbers>

namespace velmora {
namespace {

using Complex = std::complex<double>;

// occ exp(-B s^2) exp(2 pi i h.x) of one atom: its weight in every sum.
Complex atom_weight(const AtomSite& atom, const ReflectionGeometry& g) {
  const double s = g.s;
  const double phase =
      2 * std::numbers::pi *
      (static_cast<double>(g.h[0]) * atom.xyz[0] + static_cast<double>(g.h[1]) * atom.xyz[1] +
       static_cast<double>(g.h[2]) * atom.xyz[2]);
  const double debye_waller = std::exp(-static_cast<double>(atom.biso) * s * s);
  return std::polar(static_cast<double>(atom.occ) * debye_waller, phase);
}

}  // namespace

void set_corrected_moduli(const AtomCorrections& corrections, const Structure& structure,
                          const NuclearXraySums& free_atom, ReflectionValues& v) {
  Complex fx(free_atom.xrn, free_atom.xin), fn(free_atom.frn, free_atom.fin);
  for (std::size_t i = 0; i < structure.atoms.size(); ++i) {
    const Complex w = atom_weight(structure.atoms[i], v.geometry);
    if (!corrections.xray.empty()) fx += corrections.xray[i] * w;
    if (!corrections.neutron.empty()) fn += corrections.neutron[i] * w;
  }
  if (!corrections.xray.empty()) v.fx_squared = static_cast<float>(std::norm(fx));
  if (!corrections.neutron.empty()) v.fn_squared = static_cast<float>(std::norm(fn));
}

}  // namespace velmora
