// f' and f'' of every atom at one X-ray wavelength, by the Cromer-Liberman
// calculation of gemmi (gemmi/fprime.hpp, Debian's gemmi-dev): Cromer and
// Liberman's relativistic photoabsorption integrals with the energy-independent
// correction of Kissel and Pratt (Acta Cryst. A46 (1990) 170). An ion takes its
// element's values; hydrogen and helium have none that matter (0), and the
// calculation stops at uranium: heavier elements get none, and are named.
#pragma once

#include <string>
#include <vector>

#include "scattering/atom_corrections.hpp"
#include "structure/structure.hpp"

namespace velmora {

struct ElementDispersion {
  std::string element;  // Fe, of the atom types Fe2, Fe3, Fex
  double fp = 0, fpp = 0;
  bool computed = true;  // false beyond uranium: 0 taken
};

// f' and f'' of the element (a symbol: Fe, D) at the wavelength in angstroms.
ElementDispersion element_dispersion(const std::string& element, double wavelength);

struct XrayDispersion {
  std::vector<ElementDispersion> elements;  // each element of the structure once, in atom order
  AtomCorrections corrections;              // the xray part, one per atom
};

// The values for the atoms of the structure; an atom type whose element is not
// known (a label of no element) gets 0 and is among the uncomputed.
XrayDispersion xray_dispersion(const Structure& structure, double wavelength);

// "f' f'' Cromer-Liberman (gemmi) at 1.5406 Å: Ni -3.00 3.27i, O 0.05 0.03i", the
// values to four decimals, for a model line.
std::string dispersion_text(const XrayDispersion& d, double wavelength);

}  // namespace velmora
