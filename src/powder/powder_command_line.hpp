// velmora-powder's command line, read beside its entry point: the option
// table and the options (powder/powder_options.hpp) it gives.
#pragma once

#include <string>

#include "cli/command_line.hpp"
#include "powder/powder_options.hpp"

namespace velmora::powder {

// The command line velmora-powder takes, and the options it gives; a wrong
// value ends the run. Remarks say what an instrument file gave and what the
// run chose where the command line left a fit's choices open.
const frontend::ProgramSpec& powder_program_spec();
PowderOptions powder_options_of(const frontend::CommandLine& line, Remarks& remarks);

std::string powder_usage_text();

// Whether the input is a CIF (by its name: .cif or .mcif, any case).
bool is_cif_name(const std::string& path);

}  // namespace velmora::powder
