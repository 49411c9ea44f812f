// One conversion from start to end: the command line, the steps from the CIF
// to the answer text, and the writing of the answers, to a named file only
// once they are complete.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cif/cif_structure.hpp"
#include "cif/conversion_error.hpp"
#include "cif/table_labels.hpp"
#include "frontend/command_line.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "tables/table_folder.hpp"

namespace velmora::cif {

struct Options {
  std::string input;   // the CIF or magnetic CIF
  std::string output;  // empty: standard output
  std::string block;   // empty: the first data block with atom sites
  std::string tables;  // empty: see tables_folder
  std::optional<double> dmin;
  std::string hkl_file;
  IonChoices ions;  // --ion NAME=LABEL, by site label or element
  MagneticModel model = MagneticModel::j0;  // --magnetic-model
  std::map<std::string, double> g;          // --g NAME=G, by site label or element
  bool run = false;  // run velmora on the answers instead of printing them
  std::string format;  // with run: "csv" or "json", a table of the values instead of the report
  bool unique = false;  // with format: one row per set of equivalent reflections
};

// What the answers were made from, for a table of their values.
struct ConversionModel {
  std::string source;  // the CIF
  std::string block;
  std::string tables_folder;
  gemmi::UnitCell cell;
  std::vector<SymmetryOperation> operations;
  std::string labels;  // each site's table label: "Mn1=Mn2 O1=Oxx"
};

// The command line velmora-cif takes, and the options it gives.
const frontend::ProgramSpec& program_spec();
Options options_of(const frontend::CommandLine& line);

std::string usage_text();

struct MagneticForms {
  std::unique_ptr<MagneticFormChooser> chooser;  // holds the ion table the forms point into
  std::vector<MagneticForm> forms;
  std::string report_line;  // which model gave |Fm|^2; empty when velmora's table gave all
};

// The whole answer text for the options' input; the tables it was made with
// go to tables_used, the magnetic form factors to magnetic, and what else it
// was made from to model, when given.
std::string convert(const Options& options, Warnings& warnings, TableFiles* tables_used = nullptr,
                    MagneticForms* magnetic = nullptr, ConversionModel* model = nullptr);

// The answer text for a structure already read, with the reflections the
// options ask for, and the magnetic atoms' form factors; each site's table
// label ("Mn1=Mn2 O1=Oxx") to site_labels, when given.
std::string answers_for(const CifStructure& s, const TableLabels& tables, const Options& options,
                        Warnings& warnings, MagneticForms& magnetic, std::string* site_labels = nullptr);

}  // namespace velmora::cif
