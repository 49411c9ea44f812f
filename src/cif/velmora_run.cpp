// The in-process run: velmora's own run sequence with its answers from memory
// and its tables from memory, so the working directory is never read, and its
// output, diagnostics and exit status exactly those of the program.
#include "cif/velmora_run.hpp"

#include <cstdio>

#include "app/run.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "magnetic/tabulated_forms.hpp"

namespace velmora::cif {

int run_velmora_on(std::string answers, TableFiles tables, const MagneticForms& magnetic) {
  if (magnetic.report_line.empty())
    return run_velmora_on_standard_streams(std::move(answers), std::move(tables), {}, true);
  std::fflush(stderr);
  std::printf("%s\n", magnetic.report_line.c_str());
  return run_velmora_on_standard_streams(
      std::move(answers), std::move(tables),
      [&magnetic](const Structure& structure, const CellGeometry& cell, float pi) {
        return tabulate_magnetic_forms(magnetic.forms, structure, cell, pi);
      },
      true);
}

}  // namespace velmora::cif
