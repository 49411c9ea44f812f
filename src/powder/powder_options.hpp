// velmora-powder's command line: the answer file, the wavelength, the tables,
// the 2-theta grid, the peak width, the radiations to plot and the outputs.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frontend/command_line.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

enum class Radiation { neutron, xray, both };

struct PowderOptions {
  std::string answers;
  double wavelength = 0;             // angstroms
  std::string tables;                // empty: see powder_tables_folder
  std::optional<TwoThetaGrid> grid;  // empty: default_grid
  PeakWidth width;
  Radiation radiation = Radiation::neutron;  // what the plot shows
  std::string csv, reflections, plot;        // empty: not written
  MagneticModel model = MagneticModel::j0;   // --magnetic-model
  std::map<std::string, double> g;           // --g NAME=G, by answer label or element
  std::map<std::string, std::string> ions;   // --ion LABEL=ION: the ion-table ion of an answer label
};

// The command line velmora-powder takes, and the options it gives; a wrong
// value ends the run.
const frontend::ProgramSpec& powder_program_spec();
PowderOptions powder_options_of(const frontend::CommandLine& line);

std::string powder_usage_text();

}  // namespace velmora::powder
