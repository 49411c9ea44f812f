// The run sequence: every phase once, always in this order, with RunState as
// the only data passed between them. A run ends only through stop_run or
// fail_run, which unwind to here with the exit status.
#include "app/run.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "app/run_state.hpp"
#include "console/console.hpp"
#include "console/run_end.hpp"
#include "geometry/moment_directions.hpp"
#include "scattering/reflection_report.hpp"
#include "structure/structure_dialogue.hpp"

namespace velmora {
namespace {

// Threads that compute reflections: VELMORA_THREADS when it holds a whole
// number from 1 to kMaxThreads (1: the run starts no thread), else as many
// as the hardware runs at once. The output is the same for every count.
constexpr int kMaxThreads = 256;

int reflection_threads() {
  if (const char* text = std::getenv("VELMORA_THREADS")) {
    int n = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, n);
    if (error == std::errc() && stop == end && n >= 1 && n <= kMaxThreads) return n;
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMaxThreads));
}

}  // namespace

int run_velmora(Console& console) {
  auto state = std::make_unique<RunState>();
  try {
    load_scattering_tables(console, state->tables);
    state->pi = kPi;
    state->eg2mc = kEg2mc;
    read_structure_dialogue(console, state->pi, state->structure);
    state->cell = compute_cell_geometry(state->structure.param, state->pi);
    write_cell_geometry(console, state->cell);
    state->umom = compute_moment_directions(state->structure.moments);
    write_moment_directions(console, state->umom);
    write_reflection_report(
        console, {state->tables, state->structure, state->cell, state->umom, state->pi, state->eg2mc},
        reflection_threads());
    stop_run(console);
  } catch (const RunEnded& end) {
    return end.status;
  }
}

}  // namespace velmora
