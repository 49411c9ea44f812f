// Table labels: the three files are read into memory and handed to velmora's
// table loader, which then reads exactly the rows that velmora reads (all
// rows of the X-ray and neutron-length tables, the first 95 of the magnetic
// one) and refuses what velmora would refuse.
#include "cif/table_labels.hpp"

#include <cctype>
#include <filesystem>
#include <memory>
#include <sstream>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "tables/scattering_tables.hpp"
#include "tables/table_folder.hpp"

namespace velmora::cif {
namespace {

std::string last_line(const std::string& text) {
  std::string line, last;
  std::istringstream lines(text);
  while (std::getline(lines, line))
    if (line.find_first_not_of(' ') != std::string::npos) last = line;
  return last.substr(last.find_first_not_of(' ') == std::string::npos ? 0 : last.find_first_not_of(' '));
}

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
    fail_conversion(unreadable.string() +
                    ": cannot read this table of velmora's (name the folder of the tables with"
                    " --tables DIR)");
  auto tables = std::make_unique<ScatteringTables>();
  try {
    load_scattering_tables(console, *tables);
  } catch (const RunEnded&) {
    const std::string why =
        console.err_text.empty() ? last_line(console.out.kept_text()) : last_line(console.err_text);
    fail_conversion(folder + ": velmora cannot use these tables: " + why);
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
  std::string label =
      element.name() + std::to_string(charge < 0 ? -charge : charge) + (charge < 0 ? "-" : "+");
  label.resize(3);
  return label;
}

std::string velmora_label(const CifSite& site, const TableLabels& tables, const std::string& source,
                          Warnings& warnings) {
  const std::string atom = source + ": atom '" + site.label + "' (type " + site.type_symbol + ")";
  const std::string neutral = neutral_label(site.element);
  std::string label = neutral;
  if (site.charge != 0) {
    const std::string ion = ion_label(site.element, site.charge);
    if (tables.nuclear.count(ion) != 0) {
      label = ion;
    } else {
      warnings.add(source + ": type " + site.type_symbol + ": the tables have no row " + ion +
                   " for the ion; the neutral atom " + neutral + " is used");
    }
  } else if (site.charge_unreadable) {
    warnings.add(source + ": type " + site.type_symbol +
                 ": no charge can be read after the element; the neutral atom " + neutral + " is used");
  }
  if (tables.nuclear.count(label) == 0)
    fail_conversion(atom + ": the tables in " + tables.folder + " have no row " + label + " for it");
  if (site.magnetic && tables.magnetic.count(label) == 0) {
    std::string would_do;
    for (const std::string& candidate : tables.magnetic)
      if (label_of(candidate, site.element)) would_do += " " + candidate;
    fail_conversion(atom + " is magnetic, but the magnetic table has no row " + label +
                    (would_do.empty() ? " and none for " + std::string(site.element.name())
                                      : "; labels that would do:" + would_do) +
                    " (give the atom a type symbol with one of them)");
  }
  return label;
}

}  // namespace velmora::cif
