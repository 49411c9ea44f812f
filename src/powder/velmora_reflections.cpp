// From an answer file to velmora's values: the files are read into memory and
// handed to velmora's readers through an in-memory console, whose diagnostics
// are turned into velmora-powder's messages.
#include "powder/velmora_reflections.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/run_state.hpp"
#include "console/console.hpp"
#include "console/run_end.hpp"
#include "geometry/moment_directions.hpp"
#include "powder/powder_error.hpp"
#include "scattering/reflection_threads.hpp"
#include "scattering/symbol_lookup.hpp"
#include "structure/structure_dialogue.hpp"
#include "tables/table_folder.hpp"

namespace velmora::powder {
namespace {

std::string file_text(const std::filesystem::path& path, const std::string& what) {
  std::error_code ignored;
  const bool folder = std::filesystem::is_directory(path, ignored);
  errno = 0;
  std::ifstream file;
  if (!folder) file.open(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (folder || !file || file.bad())
    fail_powder(path.string() + ": cannot read " + what + ": " +
                std::strerror(folder       ? EISDIR
                              : errno != 0 ? errno
                                           : EIO));
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const auto start = line.find_first_not_of(' ');
    if (start != std::string::npos) lines.push_back(line.substr(start));
  }
  return lines;
}

// Why velmora's reader ended the run: the reason of its diagnostic, else (a
// message of its own followed by a normal end) its last lines of output.
std::string reason_of(const Console& console) {
  for (const std::string& line : lines_of(console.err_text))
    if (line.rfind(kReasonPrefix, 0) == 0) return line.substr(kReasonPrefix.size() + 2);
  const std::vector<std::string> out = lines_of(console.out.kept_text());
  std::string reason;
  for (std::size_t i = out.size() >= 3 ? out.size() - 3 : 0; i < out.size(); ++i)
    reason += (reason.empty() ? "" : " ") + out[i];
  return reason;
}

// The table file named in velmora's diagnostic, else the folder.
std::string failed_table(const Console& console, const std::string& folder) {
  const std::string& err = console.err_text;
  const auto open = err.find('"'), close = err.find('"', open + 1);
  if (open == std::string::npos || close == std::string::npos) return folder;
  return (std::filesystem::path(folder) / err.substr(open + 1, close - open - 1)).string();
}

void load_tables(const std::string& folder, ScatteringTables& tables) {
  Console console{std::string()};
  std::filesystem::path unreadable;
  console.data_files = read_table_files(folder, unreadable);
  if (!console.data_files)
    fail_powder(unreadable_table_text(unreadable));
  try {
    load_scattering_tables(console, tables);
  } catch (const RunEnded&) {
    fail_powder(failed_table(console, folder) + ": velmora cannot use this table: " + reason_of(console));
  }
}

// The answer being read, from the dialogue's last prompt and what the
// structure holds so far.
std::string answer_read(const std::string& prompt, const Structure& s) {
  const auto of = [](std::size_t read, std::int32_t count) {
    return std::to_string(read + 1) + " of " + std::to_string(count);
  };
  if (prompt.rfind("Lattice params", 0) == 0) return "the lattice parameters a b c alpha beta gamma";
  if (prompt.rfind("num atoms", 0) == 0) return "the number of atoms";
  if (prompt.rfind("write Fe2", 0) == 0)
    return "atom " + of(s.atoms.size(), s.natom) + ": type x y z occ Biso Mag";
  if (prompt.rfind("where x is along a", 0) == 0)
    return "moment " + of(s.moments.size(), s.nmagatom) + ": size, angle to x, angle to z";
  if (prompt.rfind("How many refns", 0) == 0) return "the number of reflections";
  if (prompt.rfind("hkl", 0) == 0) return "reflection " + of(s.hkl.size(), s.nrefn) + ": h k l";
  return "the answer to \"" + prompt + "\"";
}

void read_answers(const std::string& path, float pi, Structure& structure) {
  Console console(file_text(path, "the answers"));
  try {
    read_structure_dialogue(console, pi, structure);
  } catch (const RunEnded&) {
    const std::vector<std::string> prompts = lines_of(console.out.kept_text());
    const std::string reason = reason_of(console);
    fail_powder(path + ", line " + std::to_string(console.in.line()) + " (" +
                answer_read(prompts.empty() ? "" : prompts.back(), structure) +
                "): " + (reason == "End of file" ? "the file ends before this answer" : reason));
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

std::vector<ReflectionValues> velmora_reflections(const std::string& answers_path,
                                                  const std::string& tables_folder) {
  auto state = std::make_unique<RunState>();
  state->pi = kPi;
  state->eg2mc = kEg2mc;
  load_tables(tables_folder, state->tables);
  read_answers(answers_path, state->pi, state->structure);
  state->cell = compute_cell_geometry(state->structure.param, state->pi);
  state->umom = compute_moment_directions(state->structure.moments);

  const ReflectionLoop loop(
      {state->tables, state->structure, state->cell, state->umom, state->pi, state->eg2mc});
  if (loop.missing_symbol())
    fail_missing_symbol(answers_path, state->tables, tables_folder, *loop.missing_symbol());
  std::vector<ReflectionValues> values;
  values.reserve(loop.reflections());
  const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  for_each_reflection(loop, threads, [&values](const ReflectionValues& v) { values.push_back(v); });
  return values;
}

}  // namespace velmora::powder
