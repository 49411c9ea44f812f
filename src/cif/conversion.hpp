// One conversion from start to end: its options, and the steps from the
// CIF to its crystal (model/crystal.hpp): every atom of the cell with its
// table label, its moment and its magnetic form factor.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cif/cif_structure.hpp"
#include "cif/conversion_error.hpp"
#include "cif/reflection_list.hpp"
#include "cif/table_labels.hpp"
#include "dispersion/dispersion_model.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "model/crystal.hpp"
#include "tables/table_folder.hpp"

namespace velmora::cif {

// How a crystal is made from a CIF, whichever program asks: the block, the
// tables, the table labels and the magnetic form-factor model. With
// velmora_only, a site that velmora itself cannot compute (a row after
// velmora's own, a form factor velmora's table lacks) is refused.
struct CrystalChoices {
  std::string block;                        // empty: the first data block with atom sites
  std::string tables;                       // empty: see tables_folder
  IonChoices ions;                          // --ion NAME=LABEL, by site label or element
  MagneticModel model = MagneticModel::j0;  // --magnetic-model
  std::map<std::string, double> g;          // --g NAME=G, by site label or element
  bool velmora_only = false;
};

struct Options {
  std::string input;   // the CIF or magnetic CIF
  std::string output;  // empty: standard output
  CrystalChoices choices;
  std::optional<double> dmin;
  std::string hkl_file;
  bool run = false;     // run velmora on the answers instead of printing them
  std::string format;   // with run: "csv" or "json", a table of the values instead of the report
  bool unique = false;  // with format: one row per set of equivalent reflections
  // with run: the X-ray wavelength (angstroms) of the dispersion; none: the free atoms' f0
  std::optional<double> wavelength;
  DispersionModel dispersion = DispersionModel::none;
  // with run: --isotope NAME=ISOTOPE, the neutron length of an isotope for an element or site
  std::map<std::string, std::string> isotopes;
};

// The crystal of a CIF with what it was made from.
struct CifCrystal {
  Crystal crystal;  // every atom of the cell, each site's table label and form factor
  std::string block;
  std::string tables_folder;
  TableFiles tables;            // the tables the labels were chosen from, as read
  ScatteringTables scattering;  // and as velmora's reader loaded them
};

// The crystal of the CIF at path.
CifCrystal read_cif_crystal(const std::string& path, const CrystalChoices& choices, Warnings& warnings);

// The crystal of a structure already read.
Crystal crystal_of(const CifStructure& s, const TableLabels& tables, const CrystalChoices& choices,
                   Warnings& warnings);

// The reflections the options ask for (--dmin, --hkl), or none with a warning.
std::vector<Hkl> reflections_asked(const Options& options, const CellParameters& cell, Warnings& warnings);

// Each site's table label, "Mn1=Mn2 O1=Oxx".
std::string site_labels(const Crystal& crystal);

}  // namespace velmora::cif
