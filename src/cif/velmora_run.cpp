// The in-process run: velmora's own run sequence on the crystal's run values
// and its tables from memory, so the working directory is never read, and its
// output, diagnostics and exit status exactly those of the program.
#include "cif/velmora_run.hpp"

#include <cstdio>

#include "magnetic/tabulated_forms.hpp"
#include "report/velmora_run.hpp"

namespace velmora::cif {

std::vector<Reflection> run_reflections(const std::vector<Hkl>& reflections) {
  std::vector<Reflection> out;
  out.reserve(reflections.size());
  for (const Hkl& h : reflections)
    out.push_back(
        {static_cast<float>(h[0]) + 0.0f, static_cast<float>(h[1]) + 0.0f, static_cast<float>(h[2]) + 0.0f});
  return out;
}

int run_velmora_on(const CifCrystal& cif, const std::vector<Hkl>& reflections) {
  const CrystalMagnetism& magnetism = cif.crystal.magnetism;
  if (magnetism.own_forms())
    return run_velmora_on_crystal(cif.crystal, run_reflections(reflections), cif.tables);
  std::fflush(stderr);
  std::printf("%s\n", magnetism.model_line.c_str());
  return run_velmora_on_crystal(cif.crystal, run_reflections(reflections), cif.tables,
                                [&magnetism](const Structure& structure, const CellGeometry& cell, float pi) {
                                  return tabulate_magnetic_forms(magnetism.forms, structure, cell, pi);
                                });
}

}  // namespace velmora::cif
