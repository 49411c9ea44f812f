// velmora-cif's command line, read beside its entry point: the option table
// and the conversion's options (cif/conversion.hpp) it gives.
#pragma once

#include <string>

#include "cif/conversion.hpp"
#include "cli/command_line.hpp"

namespace velmora::cif {

// The command line velmora-cif takes, and the options it gives.
const frontend::ProgramSpec& program_spec();
Options options_of(const frontend::CommandLine& line);

std::string usage_text();

}  // namespace velmora::cif
