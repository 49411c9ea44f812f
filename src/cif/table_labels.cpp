// Table labels: the three files are read into memory and handed to velmora's
// table loader, which reads the rows that velmora reads (all its rows of the
// X-ray and neutron-length tables, the first 95 of the magnetic one) and
// refuses what velmora would refuse, then the X-ray and neutron rows after
// velmora's, which only the companions use. A magnetic ion those rows lack is
// looked up in the companions' ion table instead.
#include "cif/table_labels.hpp"

#include <cctype>
#include <filesystem>
#include <memory>

#include "cif/charge_balance.hpp"
#include "console/console.hpp"
#include "console/run_end.hpp"
#include "frontend/velmora_failure.hpp"
#include "tables/scattering_tables.hpp"
#include "tables/table_folder.hpp"

namespace velmora::cif {
namespace {

// A label is of an element when it is its neutral label or its symbol
// followed by a charge digit (Fe2 is of Fe; Cr2 is not of C).
bool label_of(const std::string& label, gemmi::Element element) {
  const std::string name = element.name();
  return label == neutral_label(element) ||
         (label.compare(0, name.size(), name) == 0 && label.size() > name.size() &&
          std::isdigit(static_cast<unsigned char>(label[name.size()])));
}

}  // namespace

std::string tables_folder(const std::string& given) {
  std::string why;
  if (const auto folder = choose_table_folder(given, why)) return folder->string();
  fail_conversion(why);
}

TableLabels read_table_labels(const std::string& folder) {
  Console console{std::string()};
  std::filesystem::path unreadable;
  console.data_files = read_table_files(folder, unreadable);
  if (!console.data_files)
    fail_conversion(unreadable_table_text(unreadable));
  auto tables = std::make_unique<ScatteringTables>();
  try {
    load_scattering_tables(console, *tables, true);
  } catch (const RunEnded&) {
    frontend::fail(frontend::table_failure(console, *tables, folder));
  }
  TableLabels labels;
  labels.folder = folder;
  labels.files = std::move(*console.data_files);
  for (int r = 0; r < tables->nuclear_rows; ++r) {
    labels.nuclear.emplace(text_of(tables->xray[r].ion));
    if (r >= kXrayRows) labels.beyond.emplace(text_of(tables->xray[r].ion));
  }
  labels.notes = tables->row_notes;
  for (int r = 0; r < kMagneticRows; ++r) {
    std::string label(text_of(tables->magnetic[r].mion));
    if (labels.nuclear.count(label) != 0) labels.magnetic.insert(label);
  }
  return labels;
}

std::string neutral_label(gemmi::Element element) {
  std::string label = element.name();
  label.resize(3, 'x');
  return label;
}

std::string ion_label(gemmi::Element element, int charge) {
  const std::string name = element.name();
  // Cut to three characters, the label of a two-letter element loses its
  // sign. The tables' only such anions are the halides Cl1 and Br1; every
  // other is a cation. An ion of the other sign has no label.
  const bool anion_element = name == "Cl" || name == "Br";
  if (name.size() == 2 && (charge < 0) != anion_element) return "";
  std::string label = name + std::to_string(charge < 0 ? -charge : charge) + (charge < 0 ? "-" : "+");
  label.resize(3);
  return label;
}

namespace {

// The ion table's name of an ion: element and size of the charge (Fe3, V3, Ir4).
std::string ion_name(gemmi::Element element, int charge) {
  return element.name() + std::to_string(charge < 0 ? -charge : charge);
}

// The ion table's name of the ion a velmora label stands for: Fex is Fe0,
// Fe3 and V3+ are Fe3 and V3.
std::string ion_name_of_label(const std::string& label, gemmi::Element element) {
  if (label == neutral_label(element)) return ion_name(element, 0);
  return label.substr(0, std::string(element.name()).size() + 1);
}

// The names of the ion table's rows of an element that velmora's <j0> table
// lacks.
std::string ion_table_names(MagneticFormChooser& forms, gemmi::Element element, const TableLabels& tables) {
  std::string names;
  try {
    for (const MagneticIon& ion : forms.table().ions) {
      if (!label_of(ion.label, element)) continue;
      const int charge = ion.label.back() - '0';
      if (tables.magnetic.count(charge == 0 ? neutral_label(element) : ion_label(element, charge)) == 0)
        names.append(" ").append(ion.name());
    }
  } catch (const MagneticModelError& e) {
    return std::string(" none (") + e.what() + ")";
  }
  return names.empty() ? " none" : names;
}

// The charge digit of an ion-table name of the element (W0:6s1, Ir4, V3+),
// or -1 for other text.
int ion_name_charge(const std::string& name, gemmi::Element element) {
  const std::string symbol = element.name();
  if (name.compare(0, symbol.size(), symbol) != 0 || name.size() <= symbol.size() ||
      !std::isdigit(static_cast<unsigned char>(name[symbol.size()])))
    return -1;
  const std::string rest = name.substr(symbol.size() + 1);
  if (!rest.empty() && rest != "+" && rest[0] != ':') return -1;
  return name[symbol.size()] - '0';
}

}  // namespace

SiteLabel site_label(const CifSite& site, LabelChoice& choice, Warnings& warnings) {
  const TableLabels& tables = choice.tables;
  const std::string& source = choice.source;
  const std::string atom = source + ": atom '" + site.label + "' (type " + site.type_symbol + ")";
  const std::string element = site.element.name();
  const std::string neutral = neutral_label(site.element);
  std::string magnetic_labels;
  for (const std::string& candidate : tables.magnetic)
    if (label_of(candidate, site.element)) magnetic_labels += " " + candidate;
  // A magnetic ion velmora's <j0> table lacks: X-ray and nuclear rows of the
  // ion where the tables have them, else of the element.
  const auto from_ion_table = [&](int charge, const std::string& name) {
    const MagneticIon* found = nullptr;
    try {
      found = &choice.forms.table().named(name);
    } catch (const MagneticModelError& e) {
      fail_conversion(atom + ": " + e.what() + " (--ion " + element + "=" + name.substr(0, name.find(':')) +
                      ":CONFIGURATION)");
    }
    const MagneticIon& ion = *found;
    std::string label = charge == 0 ? neutral : ion_label(site.element, charge);
    // No row of the element at all (tables without the rows after velmora's,
    // which hold the actinides beyond uranium): the magnetic form factor is
    // known, but not how the atom scatters X-rays and neutrons.
    if (tables.nuclear.count(neutral) == 0)
      fail_conversion(atom + ": its magnetic form factor " + ion.label + " is in " +
                      std::string(kMagneticIonFileName) + ", but the tables in " + tables.folder +
                      " have no X-ray and neutron row for " + element + " (neither " + neutral +
                      " nor an ion of it), so its nuclear and X-ray scattering are unknown");
    if (label.empty() || tables.nuclear.count(label) == 0) {
      if (label != neutral)
        warnings.add(source + ": magnetic " + ion.label + ": the tables have no X-ray row " + label +
                         "; X-ray and nuclear use the neutral atom " + neutral,
                     site.label);
      label = neutral;
    }
    if (tables.nuclear.count(label) == 0)
      fail_conversion(atom + ": the tables in " + tables.folder + " have no row " + label + " for it");
    return SiteLabel{label, name, false};
  };

  auto chosen = choice.ions.find(site.label);
  if (chosen == choice.ions.end()) chosen = choice.ions.find(element);
  if (chosen != choice.ions.end()) {
    const std::string& label = chosen->second;
    if (label_of(label, site.element) && tables.nuclear.count(label) != 0 &&
        (!site.magnetic || tables.magnetic.count(label) != 0))
      return {label, site.magnetic ? ion_name_of_label(label, site.element) : "", site.magnetic};
    const int charge = site.magnetic ? ion_name_charge(label, site.element) : -1;
    if (charge >= 0 && !choice.forms.table().rows_of(label.substr(0, element.size() + 1)).empty()) {
      std::string name = label;
      if (name.size() > element.size() + 1 && name[element.size() + 1] == '+')
        name.erase(element.size() + 1, 1);
      return from_ion_table(charge, name);
    }
    fail_conversion(atom + ": --ion " + chosen->first + "=" + label + ": the tables have no " +
                    (site.magnetic ? "magnetic " : "") + "row " + label + " of " + element +
                    (site.magnetic ? " (magnetic rows:" + magnetic_labels + ";" +
                                         ion_table_names(choice.forms, site.element, tables) + " with --run)"
                                   : ""));
  }

  int charge = site.charge;
  std::string why;  // how a charge the file does not give was chosen
  if (site.magnetic && charge == 0) {
    const std::map<int, int> balanced = choice.balanced();
    if (const auto found = balanced.find(site.element.atomic_number());
        found != balanced.end() && found->second > 0) {
      charge = found->second;
      why = "the charge balance of the cell";
    } else if (const auto usual = default_charge(site.element)) {
      charge = *usual;
      why = "the usual charge of a rare earth";
    } else if (two_common_charges(site.element)) {
      fail_conversion(
          atom + " is magnetic and has no charge: " + element + "2+ and " + element +
          "3+ are both common and the charges of the cell do not decide; name the ion with --ion " + element +
          "=" + element + "2 or --ion " + element + "=" + element + "3");
    }
  }
  const std::string option =
      "; name another with --ion " + element + "=LABEL or --ion " + site.label + "=LABEL";
  if (charge != 0) {
    const std::string ion = ion_label(site.element, charge);
    if (!site.magnetic) {
      if (!ion.empty() && tables.nuclear.count(ion) != 0) return {ion, "", false};
      warnings.add(source + ": type " + site.type_symbol +
                       ": the tables have no row for the ion; the neutral atom " + neutral + " is used",
                   site.label);
      if (tables.nuclear.count(neutral) == 0)
        fail_conversion(atom + ": the tables in " + tables.folder + " have no row " + neutral + " for it");
      return {neutral, "", false};
    }
    SiteLabel result;
    if (!ion.empty() && tables.magnetic.count(ion) != 0) {
      result = {ion, ion_name(site.element, charge), true};
    } else if (charge > 0 && !choice.forms.table().rows_of(ion_name(site.element, charge)).empty()) {
      result = from_ion_table(charge, ion_name(site.element, charge));
    } else if (!why.empty()) {
      // A guessed charge without a form factor (a closed shell): the guess is dropped.
      charge = 0;
    } else {
      fail_conversion(atom + " is magnetic, but no magnetic form factor of " + element +
                      std::to_string(std::abs(charge)) + (charge < 0 ? "-" : "+") +
                      " is known; velmora's <j0> rows:" + magnetic_labels + "; with --run also" +
                      ion_table_names(choice.forms, site.element, tables) + option);
    }
    if (charge != 0 && !why.empty())
      warnings.add(
          source + ": magnetic " + element + " without a charge: " + element + std::to_string(charge) +
              "+ from " + why + " is used for its magnetic form factor" +
              (result.label == neutral ? "" : " and for its X-ray and nuclear rows (" + result.label + ")") +
              option,
          site.label);
    if (charge != 0) return result;
  }
  if (site.charge_unreadable && site.type_symbol != site.label) {
    warnings.add(source + ": " + element +
                     ": no charge can be read after the element in the type symbol; the neutral atom " +
                     neutral + " is used",
                 site.label);
  }
  if (tables.nuclear.count(neutral) == 0)
    fail_conversion(atom + ": the tables in " + tables.folder + " have no row " + neutral + " for it");
  if (!site.magnetic) return {neutral, "", false};
  if (tables.magnetic.count(neutral) != 0) {
    if (magnetic_labels != " " + neutral)
      warnings.add(source + ": magnetic " + element +
                   " without a charge: the form factor <j0> of the neutral atom " + neutral +
                   " is used; the tables also have" +
                   magnetic_labels.substr(0, magnetic_labels.find(" " + neutral)) +
                   " (name the ion with --ion " + element + "=LABEL)");
    return {neutral, ion_name(site.element, 0), true};
  }
  if (magnetic_labels.size() == 4) {
    warnings.add(source + ": magnetic " + element + " without a charge: the tables' only <j0> row of " +
                 element + "," + magnetic_labels + ", is used");
    const std::string only = magnetic_labels.substr(1);
    return {only, ion_name_of_label(only, site.element), true};
  }
  fail_conversion(atom + " is magnetic and has no charge, and the charges of the cell do not decide one; " +
                  "velmora's <j0> rows:" + (magnetic_labels.empty() ? " none" : magnetic_labels) +
                  "; with --run also" + ion_table_names(choice.forms, site.element, tables) +
                  " (name the ion with --ion " + element + "=LABEL or --ion " + site.label + "=LABEL)");
}

}  // namespace velmora::cif
