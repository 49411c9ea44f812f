// The run is velmora's own phases (run_values.hpp) on the crystal's run
// values, so the table holds the very floats that velmora's report prints
// rounded.
#include "cif/table_report.hpp"

#include "cif/reflection_table.hpp"
#include "cif/scattering_corrections.hpp"
#include "cif/velmora_run.hpp"
#include "magnetic/tabulated_forms.hpp"
#include "numbers/shortest_text.hpp"
#include "run/run_values.hpp"
#include "scattering/reflection_threads.hpp"

namespace velmora::cif {
namespace {

// The values as the answers hold them (single precision).
std::string numbers(const std::vector<double>& values) {
  std::string out = "[";
  for (double v : values) out += (out.size() == 1 ? "" : ", ") + shortest_text(static_cast<float>(v));
  return out + "]";
}

}  // namespace

std::string magnetic_form_text(const std::string& report_line) {
  return report_line.empty() ? "|Fm|^2 with <j0> from velmora's table" : report_line;
}

SpaceOperation space_operation(const SymmetryOperation& op) {
  SpaceOperation out;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out.rot[i][j] = op.op.rot[i][j];
    out.tran[i] = op.op.tran(i);
  }
  return out;
}

std::string table_report(const Options& options, const CifCrystal& cif, const std::vector<Hkl>& reflections) {
  const Crystal& crystal = cif.crystal;
  std::unique_ptr<RunState> state;
  std::vector<ReflectionValues> values;
  try {
    state = prepare_run(cif.scattering, crystal, run_reflections(reflections));
    state->corrections = scattering_corrections(options, cif, state->structure);
    values = crystal.magnetism.own_forms()
                 ? compute_reflections(*state, reflection_threads())
                 : compute_reflections_with_forms(*state, crystal.magnetism.forms, reflection_threads());
  } catch (const RunStopped& stop) {
    fail_conversion(crystal.source + ": velmora stops on the answers made from it: " + stop.what());
  }
  const Structure& s = state->structure;
  const CellParameters& c = crystal.cell;
  std::vector<ModelEntry> entries = {
      {"program", std::string("velmora-cif ") + VELMORA_VERSION},
      {"source", crystal.source},
      {"block", cif.block},
      {"tables", cif.tables_folder},
      {"cell", numbers({c[0], c[1], c[2], c[3], c[4], c[5]}), false},
      {"atoms", std::to_string(s.atoms.size()), false},
      {"magnetic_atoms", std::to_string(s.magnetic.size()), false},
      {"labels", site_labels(crystal)},
      {"magnetic_model", std::string(magnetic_model_name(options.choices.model))},
      {"magnetic_form_factor", magnetic_form_text(crystal.magnetism.model_line)},
      {"dispersion", std::string(dispersion_model_name(options.dispersion))},
      {"xray_form_factor", xray_form_text(options, state->structure)},
      {"neutron_lengths",
       neutron_length_text(options, cif).empty() ? "velmora's table" : neutron_length_text(options, cif)},
      {"symmetry_operations", std::to_string(crystal.operations.size()), false},
      {"reflections", std::to_string(values.size()), false},
  };
  std::vector<EquivalentSet> sets;
  if (options.unique) {
    std::vector<SpaceOperation> ops;
    for (const SymmetryOperation& op : crystal.operations) ops.push_back(space_operation(op));
    const MergingGroup group = merging_group(s, state->cell, state->umom, ops, state->corrections_given());
    sets = unique_reflections(s.hkl, group.rotations);
    entries.push_back({"anomalous", group.anomalous ? "true" : "false", false});
    entries.push_back({"merged_by", group.anomalous ? "point group" : "Laue group"});
    entries.push_back({group.anomalous ? "point_group_order" : "laue_group_order",
                       std::to_string(group.rotations.size()), false});
    entries.push_back({"unique_reflections", std::to_string(sets.size()), false});
  }
  return reflection_table(options.format == "csv" ? TableFormat::csv : TableFormat::json, values,
                          options.unique ? &sets : nullptr, entries);
}

}  // namespace velmora::cif
