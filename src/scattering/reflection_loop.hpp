// The last phase of a run: the report header, then for every reflection in
// input order its geometry, the nuclear and X-ray sums over all atoms, the
// magnetic sum over the magnetic atoms, and one report row. An atom symbol
// missing from a table prints a message after the header and stops the run.
#pragma once

#include <vector>

#include "geometry/cell.hpp"
#include "structure/structure.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {

struct Console;

struct ReportInputs {
  const ScatteringTables& tables;
  const Structure& structure;
  const CellGeometry& cell;
  const std::vector<Vector3>& umom;
  float pi;
  float eg2mc;
};

void run_reflection_report(Console& console, const ReportInputs& in);

}  // namespace velmora
