// velmora-powder: the powder diffraction pattern of the structure in a velmora
// answer file or a CIF, and its fit to a measured pattern. Exit status 0 when
// every output is written, 1 after any error, with no output written.
#include "cli/program.hpp"
#include "powder/powder_command_line.hpp"
#include "powder/powder_run.hpp"

int main(int argc, char** argv) {
  using namespace velmora::powder;
  Remarks remarks;
  return velmora::frontend::run_program(powder_program_spec(), argc, argv, remarks, [&](const auto& line) {
    run_powder(powder_options_of(line, remarks), remarks);
    return 0;
  });
}
