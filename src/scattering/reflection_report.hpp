// The reflection report: "Output:", a rule and the column header, then one
// row per reflection with h k l, d, the scattering vector, |q| (= kappa) and
// the three squared moduli |Fn|^2, |Fm|^2 and |FX|^2.
#pragma once

#include "scattering/reflection_geometry.hpp"

namespace velmora {

struct Console;

void write_report_header(Console& console);

void write_report_row(Console& console, const ReflectionGeometry& g, float fn_squared, float fm_squared,
                      float fx_squared);

}  // namespace velmora
