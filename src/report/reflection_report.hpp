// The reflection report: "Output:", a rule and the column header, then one
// row per reflection with h k l, d, the scattering vector, |q| (= kappa) and
// the three squared moduli |Fn|^2, |Fm|^2 and |FX|^2.
#pragma once

#include "scattering/reflection_loop.hpp"

namespace velmora {

struct Console;

void write_report_header(Console& console);

void write_report_row(Console& console, const ReflectionValues& v);

// The whole report: the header; then, when there are reflections, the atoms'
// table lookups (a symbol that its table lacks prints "<symbol> is unknown
// symbol" and stops the run, before any row) and one row per reflection in
// input order, the reflections computed with the given number of threads.
void write_reflection_report(Console& console, const ScatteringInputs& in, int threads);

}  // namespace velmora
