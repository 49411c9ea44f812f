// The options that more than one program takes (--tables, --block, --dmin,
// --ion, --g, --magnetic-model), each read and checked here once, so that a
// value means the same and is refused in the same words by every program;
// the checks of single values serve the Python module as well.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frontend/command_line.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "model/crystal.hpp"

namespace velmora::frontend {

// The option table's rows of the shared options.
std::vector<OptionSpec> shared_option_specs();

struct SharedOptions {
  std::string tables;                       // --tables DIR; empty: the companions' own choice
  std::string block;                        // --block NAME
  std::optional<double> dmin;               // --dmin D, above 0
  std::map<std::string, std::string> ions;  // --ion NAME=ION, each name once
  std::map<std::string, double> g;          // --g NAME=G, each name once
  MagneticModel model = MagneticModel::j0;  // --magnetic-model
};

// The shared options of a command line; a wrong value ends the run naming it.
SharedOptions shared_options_of(const CommandLine& line);

// Why g is no Landé factor for the dipole model (it must be a finite number
// above 0 whose 2/g - 1 is finite), or nothing when it is one.
std::optional<std::string> lande_factor_fault(double g);

// Why a model cannot take Landé factors (only the dipole model has an
// orbital part), with the option or argument names given, or nothing.
std::optional<std::string> g_model_fault(bool g_given, MagneticModel model);

// A warning for each name of --ion and --g that names no atom of the crystal
// (option: how the program calls the choice, "--ion" or "ions").
std::vector<std::string> unmatched_name_warnings(const Crystal& crystal, const std::string& ion_option,
                                                 const std::map<std::string, std::string>& ions,
                                                 const std::string& g_option,
                                                 const std::map<std::string, double>& g);

}  // namespace velmora::frontend
