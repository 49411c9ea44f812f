// A companion's whole entry point: the command line read against the
// program's table, --help and --version answered, the run called, and every
// failure printed the one way, "PROGRAM: error: MESSAGE" (bytes escaped, the
// usage text after a malformed command line), with exit status 1. The only
// place the companions print to standard error.
#pragma once

#include <functional>
#include <string>

#include "cli/command_line.hpp"
#include "errors/remarks.hpp"

namespace velmora::frontend {

// Prints the remarks so far, "PROGRAM: LINE" each, and forgets them.
void print_remarks(const std::string& program, Remarks& remarks);

// Runs body on the parsed command line and returns its exit status; 0 after
// --help or --version, 1 after a failure. Remarks left unprinted are printed
// before the error message or at the end.
int run_program(const ProgramSpec& spec, int argc, char** argv, Remarks& remarks,
                const std::function<int(const CommandLine&)>& body);

}  // namespace velmora::frontend
