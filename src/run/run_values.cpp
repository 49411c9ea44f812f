// The phases of run_velmora up to the report on tables already loaded; an
// atom type no table has stops the loop as velmora stops (RunStopped).
#include "run/run_values.hpp"

#include "geometry/moment_directions.hpp"
#include "run/run_structure.hpp"
#include "scattering/reflection_threads.hpp"

namespace velmora {

std::unique_ptr<RunState> prepare_run(const ScatteringTables& tables, const Crystal& crystal,
                                      std::vector<Reflection> hkl) {
  auto state = std::make_unique<RunState>();
  state->tables = tables;
  state->pi = kPi;
  state->eg2mc = kEg2mc;
  state->structure = run_structure(crystal, std::move(hkl), state->pi);
  state->cell = compute_cell_geometry(state->structure.param, state->pi);
  state->umom = compute_moment_directions(state->structure.moments);
  return state;
}

std::optional<Symbol> missing_symbol(const RunState& state) {
  return ReflectionLoop({state.tables, state.structure, state.cell, state.umom, state.pi, state.eg2mc})
      .missing_symbol();
}

std::vector<ReflectionValues> compute_reflections(const RunState& state, int threads) {
  if (state.structure.hkl.empty()) return {};  // velmora looks up no atom then
  return loop_values(ReflectionLoop({state.tables, state.structure, state.cell, state.umom, state.pi,
                                     state.eg2mc, nullptr, state.corrections_given()}),
                     threads);
}

std::vector<ReflectionValues> loop_values(const ReflectionLoop& loop, int threads) {
  if (loop.missing_symbol())
    throw RunStopped(std::string(text_of(*loop.missing_symbol())) + " is unknown symbol");
  std::vector<ReflectionValues> values;
  values.reserve(loop.reflections());
  for_each_reflection(loop, threads, [&values](const ReflectionValues& v) { values.push_back(v); });
  return values;
}

}  // namespace velmora
