// What the companions add to velmora's free-atom scattering of each atom: the
// X-ray dispersion f' + i f'' at the wavelength of the radiation, and a neutron
// length other than the table's (an isotope, the imaginary part of an
// absorbing nucleus). velmora itself never adds any, so its sums stay its own.
#pragma once

#include <complex>
#include <vector>

#include "scattering/structure_factors.hpp"
#include "structure/structure.hpp"

namespace velmora {

// One entry per atom of the structure, in atom order; an empty list adds nothing.
struct AtomCorrections {
  std::vector<std::complex<double>> xray;     // f' + i f'', electrons
  std::vector<std::complex<double>> neutron;  // b - b(table) + i b'', in the table's unit
  bool empty() const { return xray.empty() && neutron.empty(); }
};

// The structure factors with the corrections, F = F0 + sum c occ exp(-B s^2)
// exp(2 pi i h.x), F0 being velmora's free-atom sums of the reflection: each
// added term in double precision, the squared moduli of v replaced by
// |F_N|^2 and |F_X|^2 rounded once.
void set_corrected_moduli(const AtomCorrections& corrections, const Structure& structure,
                          const NuclearXraySums& free_atom, ReflectionValues& v);

}  // namespace velmora
