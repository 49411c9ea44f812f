// The in-process run: velmora's own run sequence with its answers from memory
// and its tables from memory, so the working directory is never read, and its
// output, diagnostics and exit status exactly those of the program.
#include "cif/velmora_run.hpp"

#include "app/run.hpp"

namespace velmora::cif {

int run_velmora_on(std::string answers, TableFiles tables) {
  return run_velmora_on_standard_streams(std::move(answers), std::move(tables));
}

}  // namespace velmora::cif
