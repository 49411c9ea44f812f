// velmora's run without its printed report, for programs that take the numbers
// themselves: tables held in memory read by velmora's own reader, a crystal's
// run values, the cell and moment geometry computed as the run computes them,
// and the values of every reflection handed back in input order.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "run/run_state.hpp"
#include "scattering/reflection_loop.hpp"
#include "scattering/structure_factors.hpp"
#include "tables/table_folder.hpp"

namespace velmora {

// Where velmora itself would have stopped: a table it cannot use, an answer it
// cannot read, an atom type no table has. what() is velmora's reason.
struct RunStopped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The crystal's run values made with the tables loaded, the cell geometry
// and the moment directions computed.
std::unique_ptr<RunState> prepare_run(const ScatteringTables& tables, const Crystal& crystal,
                                      std::vector<Reflection> hkl = {});

// The first atom type, in velmora's order of lookups, that its table lacks.
std::optional<Symbol> missing_symbol(const RunState& state);

// The values of the reflections of state.structure.hkl, by velmora's
// reflection loop on the given number of threads.
std::vector<ReflectionValues> compute_reflections(const RunState& state, int threads);

// The values of every reflection of the loop, in input order; an atom type
// that no table has stops as velmora stops (RunStopped).
std::vector<ReflectionValues> loop_values(const ReflectionLoop& loop, int threads);

}  // namespace velmora
