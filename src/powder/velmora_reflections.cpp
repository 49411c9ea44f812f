// From an answer file to velmora's values: the files are read into memory and
// handed to velmora's readers through an in-memory console; when a reader ends
// the run, what it recorded (the answer, the line, the reason) makes the message.
#include "powder/velmora_reflections.hpp"

#include <memory>

#include "app/run_state.hpp"
#include "console/console.hpp"
#include "console/run_end.hpp"
#include "frontend/input_file.hpp"
#include "frontend/velmora_failure.hpp"
#include "geometry/moment_directions.hpp"
#include "powder/powder_error.hpp"
#include "scattering/reflection_threads.hpp"
#include "scattering/symbol_lookup.hpp"
#include "structure/structure_dialogue.hpp"
#include "tables/table_folder.hpp"

namespace velmora::powder {
namespace {

void load_tables(const std::string& folder, ScatteringTables& tables) {
  Console console{std::string()};
  std::filesystem::path unreadable;
  console.data_files = read_table_files(folder, unreadable);
  if (!console.data_files) fail_powder(unreadable_table_text(unreadable));
  try {
    load_scattering_tables(console, tables);
  } catch (const RunEnded&) {
    frontend::fail(frontend::table_failure(console, tables, folder));
  }
}

void read_answers(const std::string& text, const std::string& path, float pi, Structure& structure) {
  Console console(text);
  try {
    read_structure_dialogue(console, pi, structure);
  } catch (const RunEnded&) {
    frontend::fail(frontend::answer_failure(console, path));
  }
}

[[noreturn]] void fail_missing_symbol(const std::string& answers, const ScatteringTables& tables,
                                      const std::string& folder, const Symbol& symbol) {
  const auto nuclear = std::span(tables.neutron).first(kNeutronRows);
  const bool has_nuclear =
      find_symbol_row(symbol, nuclear, [](const NeutronLengthRow& r) { return r.nion; }) != kUnknownSymbol;
  fail_powder(answers + ": atom type \"" + std::string(text_of(symbol)) + "\" has no row in " +
              (has_nuclear ? "the magnetic form-factor table" : "the X-ray and neutron tables") + " of " +
              folder + " (see data/README.md for the labels)");
}

}  // namespace

VelmoraCrystal read_velmora_crystal(const std::string& answers, const std::string& source,
                                    const std::string& tables_folder) {
  VelmoraCrystal crystal{std::make_unique<RunState>(), source, tables_folder};
  RunState& state = *crystal.state;
  state.pi = kPi;
  state.eg2mc = kEg2mc;
  load_tables(tables_folder, state.tables);
  read_answers(answers, source, state.pi, state.structure);
  state.cell = compute_cell_geometry(state.structure.param, state.pi);
  state.umom = compute_moment_directions(state.structure.moments);
  return crystal;
}

std::string answer_file_text(const std::string& path) {
  return frontend::read_input_file(path, "the answers", frontend::kMostInputBytes);
}

std::vector<ReflectionValues> crystal_reflections(VelmoraCrystal& crystal, const std::vector<Reflection>& hkl) {
  RunState& state = *crystal.state;
  state.structure.hkl = hkl;
  state.structure.nrefn = static_cast<std::int32_t>(hkl.size());
  const ReflectionLoop loop({state.tables, state.structure, state.cell, state.umom, state.pi, state.eg2mc});
  if (loop.missing_symbol())
    fail_missing_symbol(crystal.source, state.tables, crystal.tables_folder, *loop.missing_symbol());
  std::vector<ReflectionValues> values;
  values.reserve(loop.reflections());
  for_each_reflection(loop, reflection_threads(), [&values](const ReflectionValues& v) { values.push_back(v); });
  return values;
}

}  // namespace velmora::powder
