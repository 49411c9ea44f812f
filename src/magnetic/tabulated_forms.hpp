// The companions' magnetic form factors evaluated at every reflection of a
// structure, and velmora's reflection loop run with them. Apart from the
// model itself because it needs velmora's structure and cell, which the CIF
// converter's own files do not include.
#pragma once

#include <optional>
#include <vector>

#include "geometry/cell.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "run/run_state.hpp"
#include "scattering/given_magnetic_forms.hpp"
#include "scattering/structure_factors.hpp"
#include "structure/structure.hpp"

namespace velmora {

// The forms of the magnetic atoms (one each, in input order) evaluated at
// every reflection of the structure, each distinct form once, for the
// reflection loop; atoms with velmora's own row keep it.
GivenMagneticForms tabulate_magnetic_forms(const std::vector<MagneticForm>& forms, const Structure& structure,
                                           const CellGeometry& cell, float pi);

// The first atom type that no table row serves, magnetic atoms with a form of
// their own not being looked up in velmora's <j0> table.
std::optional<Symbol> missing_symbol_with_forms(const RunState& state,
                                                const std::vector<MagneticForm>& forms);

// velmora's values of the reflections of state.structure.hkl, each magnetic
// atom with its form (velmora's own row where the form has no ion), on the
// given number of threads. A type no table has stops as velmora stops
// (RunStopped). With every form velmora's own the values are velmora's.
std::vector<ReflectionValues> compute_reflections_with_forms(const RunState& state,
                                                             const std::vector<MagneticForm>& forms,
                                                             int threads);

}  // namespace velmora
