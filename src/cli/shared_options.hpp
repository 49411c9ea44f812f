// The options that more than one program takes (--tables, --block, --dmin,
// --ion, --g, --magnetic-model, --dispersion, --isotope), each read and checked here once, so that a
// value means the same and is refused in the same words by every program.
// The checks of single values (magnetic/magnetic_form_model.hpp) serve the
// Python module as well.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "dispersion/dispersion_model.hpp"
#include "magnetic/magnetic_form_model.hpp"

namespace velmora::frontend {

// The option table's rows of the shared options.
std::vector<OptionSpec> shared_option_specs();

struct SharedOptions {
  std::string tables;                           // --tables DIR; empty: the companions' own choice
  std::string block;                            // --block NAME
  std::optional<double> dmin;                   // --dmin D, above 0
  std::map<std::string, std::string> ions;      // --ion NAME=ION, each name once
  std::map<std::string, double> g;              // --g NAME=G, each name once
  MagneticModel model = MagneticModel::j0;      // --magnetic-model
  std::optional<DispersionModel> dispersion;    // --dispersion; empty: the program's own default
  std::map<std::string, std::string> isotopes;  // --isotope NAME=ISOTOPE, each name once
};

// The shared options of a command line; a wrong value ends the run naming it.
SharedOptions shared_options_of(const CommandLine& line);

}  // namespace velmora::frontend
