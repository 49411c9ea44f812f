// velmora-cif --run --format: velmora's calculation on the answers made here,
// with the tables they were made with, written as a CSV or JSON table of its
// values instead of velmora's console report (which stays as velmora prints it).
#pragma once

#include <string>

#include "cif/conversion.hpp"
#include "scattering/unique_reflections.hpp"

namespace velmora::cif {

// The table text: every reflection of the answers, or with options.unique one
// row per set of equivalents under the Laue group of the structure.
std::string table_report(const Options& options, std::string answers, const TableFiles& tables,
                         const ConversionModel& model);

// The rotation and translation of a CIF operation, as the core's unique
// reflections take them.
SpaceOperation space_operation(const SymmetryOperation& op);

}  // namespace velmora::cif
