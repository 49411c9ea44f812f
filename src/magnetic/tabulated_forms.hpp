// The companions' magnetic form factors evaluated at every reflection of a
// structure, for the reflection loop. Apart from the model itself because it
// needs velmora's structure and cell, which the CIF converter's own files do
// not include.
#pragma once

#include <vector>

#include "geometry/cell.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "scattering/given_magnetic_forms.hpp"
#include "structure/structure.hpp"

namespace velmora {

// The forms of the magnetic atoms (one each, in input order) evaluated at
// every reflection of the structure, each distinct form once, for the
// reflection loop; atoms with velmora's own row keep it.
GivenMagneticForms tabulate_magnetic_forms(const std::vector<MagneticForm>& forms, const Structure& structure,
                                           const CellGeometry& cell, float pi);

}  // namespace velmora
