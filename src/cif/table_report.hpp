// velmora-cif --run --format: velmora's calculation on the crystal made here,
// with the tables its labels were chosen from, written as a CSV or JSON table of its
// values instead of velmora's console report (which stays as velmora prints it).
#pragma once

#include <string>

#include "cif/conversion.hpp"
#include "scattering/unique_reflections.hpp"

namespace velmora::cif {

// The table text: every reflection of the answers, or with options.unique one
// row per set of equivalents under the Laue group of the structure; |Fm|^2 by
// the conversion's magnetic form factors, and the model says which.
std::string table_report(const Options& options, const CifCrystal& cif, const std::vector<Hkl>& reflections);

// Which model gave |Fm|^2, as the table's model states it: the conversion's
// report line, or velmora's own <j0> table when that gave every form.
std::string magnetic_form_text(const std::string& report_line);

// The rotation and translation of a CIF operation, as the core's unique
// reflections take them.
SpaceOperation space_operation(const SymmetryOperation& op);

}  // namespace velmora::cif
