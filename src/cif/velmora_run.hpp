// velmora's whole run inside this program, on the crystal made here and with
// the tables its labels were chosen from: the report `velmora < answers`
// prints in the tables' folder for the answers of this crystal, written to
// this program's standard output as it goes.
#pragma once

#include <vector>

#include "cif/conversion.hpp"
#include "structure/structure.hpp"

namespace velmora::cif {

// The reflections as velmora holds them: single precision, a zero as +0, as
// an answer file writes it.
std::vector<Reflection> run_reflections(const std::vector<Hkl>& reflections);

// Runs velmora, with the magnetic form factors of the crystal and the
// options' dispersion; returns its exit status. When a form factor is not
// velmora's own, or |FX|^2 carries f' and f'', the report's first lines say
// which model gave them.
int run_velmora_on(const Options& options, const CifCrystal& cif, const std::vector<Hkl>& reflections);

}  // namespace velmora::cif
