// The in-process run: velmora's own run sequence with its answers from memory
// and its tables from memory, so the working directory is never read, and its
// output, diagnostics and exit status exactly those of the program.
#include "cif/velmora_run.hpp"

#include <cstdio>

#include "console/console.hpp"
#include "app/run.hpp"
#include "console/standard_streams.hpp"

namespace velmora::cif {

int run_velmora_on(std::string answers, TableFiles tables) {
  std::fflush(stdout);
  std::fflush(stderr);
  const bool terminal = prepare_standard_streams();
  Console console(std::move(answers), stdout, stderr, terminal);
  console.data_files = std::move(tables);
  return run_velmora(console);
}

}  // namespace velmora::cif
