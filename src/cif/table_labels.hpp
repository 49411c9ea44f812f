// The labels of velmora's three tables, read by velmora's own table reader so
// that a label counts exactly when velmora will find it, and the label each
// atom of the CIF gets: its ion when the charge is known and the tables have
// the ion, else its neutral atom (with a warning when a charge was lost).
#pragma once

#include <array>
#include <functional>
#include <gemmi/elem.hpp>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "cif/charge_balance.hpp"
#include "cif/cif_structure.hpp"
#include "cif/conversion_error.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "tables/scattering_tables.hpp"
#include "tables/table_folder.hpp"

namespace velmora::cif {

struct TableLabels {
  std::string folder;             // where the tables were read
  std::set<std::string> nuclear;  // rows of the X-ray and neutron-length tables
  std::set<std::string> beyond;   // those of them after velmora's rows: the companions' only
  std::map<std::string, std::string, std::less<>> notes;  // a row's isotope, by label
  std::set<std::string> magnetic;  // <j0> rows that velmora reads and that have the other two rows
  TableFiles files;                // the three files as read, for a run of velmora on the answers
  ScatteringTables scattering;     // the tables as velmora's reader loaded them
};

// The folder to read the tables from: the one given, else the first folder
// of velmora's tables found (see table_folder.hpp).
std::string tables_folder(const std::string& given);

// Reads the three tables as velmora does; a missing file or one that velmora
// would refuse ends the conversion.
TableLabels read_table_labels(const std::string& folder);

// Labels as the tables write them: the neutral atom padded with x (Fex, Oxx),
// an ion with its charge digit and sign cut to three characters (Fe3, O2-);
// empty for an ion whose cut label would be that of the other sign (Sb3-).
std::string neutral_label(gemmi::Element element);
std::string ion_label(gemmi::Element element, int charge);

// Table labels named on the command line (--ion Mn=Mn3, --ion Mn1=Mn3, and
// for a magnetic atom any ion of the ion table: --ion W=W0:6s1): by site
// label or by element.
using IonChoices = std::map<std::string, std::string>;

// What a site's atoms are written as, and for a magnetic site where its
// magnetic form factor comes from.
struct SiteLabel {
  std::string label;          // velmora's label, for every table it has
  std::string ion;            // magnetic: the ion's name in the ion table (Fe3, Fe0, W0:6s1)
  bool velmora_form = false;  // magnetic: velmora's <j0> table has the label
};

// What the choice of a label may consult besides the site.
struct LabelChoice {
  const TableLabels& tables;
  const IonChoices& ions;
  const std::string& source;
  MagneticFormChooser& forms;  // its ion table, read when first needed
  // the charge guessed for a site typed without one, by the balance, bond valences or
  // the intermetallic rule
  std::function<std::optional<GuessedCharge>(const CifSite&)> guessed;
};

// velmora's own <j0> coefficients of a label of its tables; nothing when it has no such row.
std::optional<std::array<float, 7>> velmora_j0_of(const ScatteringTables& tables, const std::string& label);

// The label of a site's atoms: the one named for it, else its ion's, else its
// neutral atom's (with a warning when a charge was lost). A magnetic atom
// typed without a charge takes, in this order, the charge that balances the
// cell, the usual charge of a rare earth, the neutral atom's <j0> row, or its
// element's only <j0> row, each with a warning naming the choice and --ion.
// A magnetic ion that velmora's <j0> table lacks takes its form factor from
// the ion table and its X-ray and nuclear rows from its ion's or element's
// rows. An atom that no row fits ends the conversion with a message that
// names the atom and the labels that would do.
SiteLabel site_label(const CifSite& site, LabelChoice& choice, Warnings& warnings);

}  // namespace velmora::cif
