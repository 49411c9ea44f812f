// A companion's whole entry point: the command line read against the
// program's table, --help and --version answered, the run called, and every
// failure printed the one way, "PROGRAM: error: MESSAGE" (bytes escaped, the
// usage text after a malformed command line), with exit status 1. The only
// place the companions print to standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frontend/command_line.hpp"

namespace velmora::frontend {

// What a run says without stopping: a note (what was done, for the record)
// or a warning (what the user should check), as values; the programs print
// them before the outputs and before an error, each once, the module raises
// them as Python warnings.
struct Remark {
  enum class Kind { note, warning };
  Kind kind = Kind::note;
  std::string text;
  // As the programs print it after their name: "note: TEXT", "warning: TEXT".
  std::string line() const { return (kind == Kind::note ? "note: " : "warning: ") + text; }
};

struct Remarks {
  std::vector<Remark> items;

  void note(const std::string& text) { items.push_back({Remark::Kind::note, text}); }
  void warn(const std::string& text) { items.push_back({Remark::Kind::warning, text}); }
};

// Prints the remarks so far, "PROGRAM: LINE" each, and forgets them.
void print_remarks(const std::string& program, Remarks& remarks);

// Runs body on the parsed command line and returns its exit status; 0 after
// --help or --version, 1 after a failure. Remarks left unprinted are printed
// before the error message or at the end.
int run_program(const ProgramSpec& spec, int argc, char** argv, Remarks& remarks,
                const std::function<int(const CommandLine&)>& body);

}  // namespace velmora::frontend
