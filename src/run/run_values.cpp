// The phases of run_velmora up to the report, the tables read on an in-memory
// console whose diagnostic, when the reader stops the run, becomes the reason
// of a RunStopped.
#include "run/run_values.hpp"

#include <sstream>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "geometry/moment_directions.hpp"
#include "scattering/reflection_threads.hpp"
#include "run/run_structure.hpp"

namespace velmora {
namespace {

// velmora's reason: the reason line of its diagnostic, else (a message of its
// own followed by a normal end) its last line of output.
std::string reason_of(const Console& console) {
  std::istringstream err(console.err_text);
  for (std::string line; std::getline(err, line);)
    if (line.rfind(kReasonPrefix, 0) == 0) return line.substr(kReasonPrefix.size() + 2);
  std::istringstream out(console.out.kept_text());
  std::string last;
  for (std::string line; std::getline(out, line);)
    if (line.find_first_not_of(' ') != std::string::npos) last = line.substr(line.find_first_not_of(' '));
  return last;
}

}  // namespace

std::unique_ptr<RunState> prepare_run(const TableFiles& tables, const Crystal& crystal,
                                      std::vector<Reflection> hkl) {
  auto state = std::make_unique<RunState>();
  state->pi = kPi;
  state->eg2mc = kEg2mc;
  Console console{std::string()};
  console.data_files = tables;
  try {
    load_scattering_tables(console, state->tables, true);
  } catch (const RunEnded&) {
    throw RunStopped("velmora cannot use the tables: " + reason_of(console));
  }
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
  return loop_values(ReflectionLoop({state.tables, state.structure, state.cell, state.umom, state.pi, state.eg2mc}),
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
