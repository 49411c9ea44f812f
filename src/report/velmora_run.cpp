// The run sequence: every phase once, always in this order, with RunState as
// the only data passed between them, each phase's block printed as soon as it
// is computed. A run ends only through stop_run or fail_run, which unwind to
// here with the exit status.
#include "report/velmora_run.hpp"

#include <cstdio>
#include <memory>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "console/standard_streams.hpp"
#include "geometry/moment_directions.hpp"
#include "report/cell.hpp"
#include "report/moment_directions.hpp"
#include "report/reflection_report.hpp"
#include "report/scattering_tables.hpp"
#include "report/structure_dialogue.hpp"
#include "run/run_state.hpp"
#include "run/run_structure.hpp"
#include "scattering/reflection_threads.hpp"

namespace velmora {

namespace {

// The first phases: the tables and the run's constants.
std::unique_ptr<RunState> start_run(Console& console, bool rows_beyond) {
  auto state = std::make_unique<RunState>();
  load_scattering_tables(console, state->tables, rows_beyond, table_reading_lines(console));
  state->pi = kPi;
  state->eg2mc = kEg2mc;
  return state;
}

// The phases after the structure is known: cell, moments, report, end.
[[noreturn]] void finish_run(Console& console, RunState& state, const GivenFormsOf& given_forms) {
  state.cell = compute_cell_geometry(state.structure.param, state.pi);
  write_cell_geometry(console, state.cell);
  state.umom = compute_moment_directions(state.structure.moments);
  write_moment_directions(console, state.umom);
  GivenMagneticForms given;
  if (given_forms) given = given_forms(state.structure, state.cell, state.pi);
  write_reflection_report(console,
                          {state.tables, state.structure, state.cell, state.umom, state.pi, state.eg2mc,
                           given_forms ? &given : nullptr, state.corrections_given()},
                          reflection_threads());
  stop_run(console);
}

}  // namespace

int run_velmora(Console& console, const GivenFormsOf& given_forms, bool rows_beyond) {
  try {
    const auto state = start_run(console, rows_beyond);
    Crystal crystal;
    std::vector<Reflection> hkl;
    read_structure_dialogue(console, state->pi, crystal, hkl);
    state->structure = run_structure(crystal, std::move(hkl), state->pi);
    finish_run(console, *state, given_forms);
  } catch (const RunEnded& end) {
    return end.status;
  }
}

int run_velmora_on_crystal(const Crystal& crystal, std::vector<Reflection> hkl, TableFiles tables,
                           const GivenFormsOf& given_forms, const CorrectionsOf& corrections) {
  std::fflush(stdout);
  std::fflush(stderr);
  const bool terminal = prepare_standard_streams();
  Console console(std::string(), stdout, stderr, terminal);
  console.data_files = std::move(tables);
  try {
    const auto state = start_run(console, true);
    state->structure = run_structure(crystal, std::move(hkl), state->pi);
    write_structure_dialogue(console, state->structure);
    if (corrections) state->corrections = corrections(state->structure);
    finish_run(console, *state, given_forms);
  } catch (const RunEnded& end) {
    return end.status;
  }
}

int run_velmora_on_standard_streams(std::optional<std::string> answers, std::optional<TableFiles> tables,
                                    const GivenFormsOf& given_forms, bool rows_beyond) {
  std::fflush(stdout);
  std::fflush(stderr);
  const bool terminal = prepare_standard_streams();
  Console console = answers ? Console(std::move(*answers), stdout, stderr, terminal)
                            : Console(stdin, stdout, stderr, terminal);
  console.data_files = std::move(tables);
  return run_velmora(console, given_forms, rows_beyond);
}

}  // namespace velmora
