// The in-process run: velmora's own run sequence on the crystal's run values
// and its tables from memory, so the working directory is never read, and its
// output, diagnostics and exit status exactly those of the program.
#include "cif/velmora_run.hpp"

#include <cstdio>

#include "cif/scattering_corrections.hpp"
#include "magnetic/tabulated_forms.hpp"
#include "report/velmora_run.hpp"
#include "run/run_state.hpp"
#include "run/run_structure.hpp"

namespace velmora::cif {

std::vector<Reflection> run_reflections(const std::vector<Hkl>& reflections) {
  std::vector<Reflection> out;
  out.reserve(reflections.size());
  for (const Hkl& h : reflections)
    out.push_back(
        {static_cast<float>(h[0]) + 0.0f, static_cast<float>(h[1]) + 0.0f, static_cast<float>(h[2]) + 0.0f});
  return out;
}

int run_velmora_on(const Options& options, const CifCrystal& cif, const std::vector<Hkl>& reflections) {
  const CrystalMagnetism& magnetism = cif.crystal.magnetism;
  CorrectionsOf corrections;
  const std::string neutron = neutron_length_text(options, cif);
  if (options.dispersion != DispersionModel::none || !neutron.empty()) {
    corrections = [&options, &cif](const Structure& structure) {
      return scattering_corrections(options, cif, structure);
    };
    std::fflush(stderr);
    const Structure structure = run_structure(cif.crystal, {}, kPi);
    if (options.dispersion != DispersionModel::none)
      std::printf("|FX|^2 with %s\n", xray_form_text(options, structure).c_str());
    if (!neutron.empty()) std::printf("|FN|^2 with %s\n", neutron.c_str());
  }
  if (magnetism.own_forms())
    return run_velmora_on_crystal(cif.crystal, run_reflections(reflections), cif.tables, {}, corrections);
  std::fflush(stderr);
  std::printf("%s\n", magnetism.model_line.c_str());
  return run_velmora_on_crystal(
      cif.crystal, run_reflections(reflections), cif.tables,
      [&magnetism](const Structure& structure, const CellGeometry& cell, float pi) {
        return tabulate_magnetic_forms(magnetism.forms, structure, cell, pi);
      },
      corrections);
}

}  // namespace velmora::cif
