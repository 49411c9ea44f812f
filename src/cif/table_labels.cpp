// Table labels: the three files are read into memory and handed to velmora's
// table loader, which then reads exactly the rows that velmora reads (all
// rows of the X-ray and neutron-length tables, the first 95 of the magnetic
// one) and refuses what velmora would refuse.
#include "cif/table_labels.hpp"

#include <cctype>
#include <filesystem>
#include <memory>

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
    load_scattering_tables(console, *tables);
  } catch (const RunEnded&) {
    frontend::fail(frontend::table_failure(console, *tables, folder));
  }
  TableLabels labels;
  labels.folder = folder;
  labels.files = std::move(*console.data_files);
  for (int r = 0; r < kXrayRows; ++r) labels.nuclear.emplace(text_of(tables->xray[r].ion));
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

std::string velmora_label(const CifSite& site, const TableLabels& tables, const IonChoices& ions,
                          const std::string& source, Warnings& warnings) {
  const std::string atom = source + ": atom '" + site.label + "' (type " + site.type_symbol + ")";
  const std::string element = site.element.name();
  std::string magnetic_labels;
  for (const std::string& candidate : tables.magnetic)
    if (label_of(candidate, site.element)) magnetic_labels += " " + candidate;
  auto chosen = ions.find(site.label);
  if (chosen == ions.end()) chosen = ions.find(element);
  if (chosen != ions.end()) {
    const std::string& label = chosen->second;
    if (!label_of(label, site.element) || tables.nuclear.count(label) == 0 ||
        (site.magnetic && tables.magnetic.count(label) == 0))
      fail_conversion(atom + ": --ion " + chosen->first + "=" + label + ": the tables have no " +
                      (site.magnetic ? "magnetic " : "") + "row " + label + " of " + element +
                      (site.magnetic ? " (magnetic rows:" + magnetic_labels + ")" : ""));
    return label;
  }
  const std::string neutral = neutral_label(site.element);
  std::string label = neutral;
  if (site.charge != 0) {
    const std::string ion = ion_label(site.element, site.charge);
    if (!ion.empty() && tables.nuclear.count(ion) != 0) {
      label = ion;
    } else {
      warnings.add(source + ": type " + site.type_symbol +
                       ": the tables have no row for the ion; the neutral atom " + neutral + " is used",
                   site.label);
    }
  } else if (site.charge_unreadable) {
    warnings.add(source + ": " + element +
                     ": no charge can be read after the element in the type symbol; the neutral atom " +
                     neutral + " is used",
                 site.label);
  }
  if (tables.nuclear.count(label) == 0)
    fail_conversion(atom + ": the tables in " + tables.folder + " have no row " + label + " for it");
  if (!site.magnetic) return label;
  const std::string option =
      " (name the ion with --ion " + element + "=LABEL or --ion " + site.label + "=LABEL)";
  if (tables.magnetic.count(label) != 0) {
    if (label == neutral && magnetic_labels != " " + neutral)
      warnings.add(source + ": magnetic " + element +
                   " without a charge: the form factor <j0> of the neutral atom " + neutral +
                   " is used; the tables also have" +
                   magnetic_labels.substr(0, magnetic_labels.find(" " + neutral)) +
                   " (name the ion with --ion " + element + "=LABEL)");
    return label;
  }
  if (label == neutral && magnetic_labels.size() == 4) {
    warnings.add(source + ": magnetic " + element + " without a charge: the tables' only <j0> row of " +
                 element + "," + magnetic_labels + ", is used");
    return magnetic_labels.substr(1);
  }
  fail_conversion(
      atom + " is magnetic, but the magnetic table has no row " + label +
      (magnetic_labels.empty() ? " and none for " + element : "; labels that would do:" + magnetic_labels) +
      (magnetic_labels.empty() ? "" : option));
}

}  // namespace velmora::cif
