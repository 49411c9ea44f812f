// One conversion from start to end: the command line, the steps from the CIF
// to the answer text, and the writing of the answers, to a named file only
// once they are complete.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cif/cif_structure.hpp"
#include "cif/conversion_error.hpp"
#include "cif/table_labels.hpp"
#include "frontend/command_line.hpp"
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

// The whole answer text for the options' input; the tables it was made with
// go to tables_used, and what else it was made from to model, when given.
std::string convert(const Options& options, Warnings& warnings, TableFiles* tables_used = nullptr,
                    ConversionModel* model = nullptr);

// The answer text for a structure already read, with the reflections the
// options ask for.
std::string answers_for(const CifStructure& s, const TableLabels& tables, const Options& options,
                        Warnings& warnings);

}  // namespace velmora::cif
