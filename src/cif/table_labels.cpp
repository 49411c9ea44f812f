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
#include <optional>

#include "cif/charge_balance.hpp"
#include "console/console.hpp"
#include "console/run_end.hpp"
#include "errors/velmora_failure.hpp"
#include "scattering/symbol_lookup.hpp"
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
  if (!console.data_files) fail_conversion(unreadable_table_text(unreadable));
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
  labels.scattering = *tables;
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

// What every step of choosing a site's label consults, and the names its
// messages use.
struct SiteContext {
  const CifSite& site;
  LabelChoice& choice;
  Warnings& warnings;
  std::string atom;             // the atom as an error names it
  std::string element;          // its element's symbol
  std::string neutral;          // its neutral atom's label
  std::string magnetic_labels;  // the element's <j0> rows of velmora's, each after a space
};

SiteContext site_context(const CifSite& site, LabelChoice& choice, Warnings& warnings) {
  SiteContext c{site, choice, warnings, {}, {}, {}, {}};
  c.atom = choice.source + ": atom '" + site.label + "' (type " + site.type_symbol + ")";
  c.element = site.element.name();
  c.neutral = neutral_label(site.element);
  for (const std::string& candidate : choice.tables.magnetic)
    if (label_of(candidate, site.element)) c.magnetic_labels += " " + candidate;
  return c;
}

// Ends the conversion when the X-ray and neutron-length tables lack the row.
void require_nuclear_row(const SiteContext& c, const std::string& label) {
  if (c.choice.tables.nuclear.count(label) == 0)
    fail_conversion(c.atom + ": the tables in " + c.choice.tables.folder + " have no row " + label +
                    " for it");
}

// The ion table's row of that name; one it lacks ends the conversion with the
// option that names another.
const MagneticIon& ion_table_row(const SiteContext& c, const std::string& name) {
  try {
    return c.choice.forms.table().named(name);
  } catch (const MagneticModelError& e) {
    fail_conversion(c.atom + ": " + e.what() + " (--ion " + c.element + "=" + name.substr(0, name.find(':')) +
                    ":CONFIGURATION)");
  }
}

// The X-ray and nuclear rows for a magnetic ion of the ion table: the ion's
// where the tables have them, else the neutral atom's, with a warning.
std::string nuclear_label_of_ion(const SiteContext& c, const MagneticIon& ion, int charge) {
  const TableLabels& tables = c.choice.tables;
  std::string label = charge == 0 ? c.neutral : ion_label(c.site.element, charge);
  // No row of the element at all (tables without the rows after velmora's,
  // which hold the actinides beyond uranium): the magnetic form factor is
  // known, but not how the atom scatters X-rays and neutrons.
  if (tables.nuclear.count(c.neutral) == 0)
    fail_conversion(c.atom + ": its magnetic form factor " + ion.label + " is in " +
                    std::string(kMagneticIonFileName) + ", but the tables in " + tables.folder +
                    " have no X-ray and neutron row for " + c.element + " (neither " + c.neutral +
                    " nor an ion of it), so its nuclear and X-ray scattering are unknown");
  if (label.empty() || tables.nuclear.count(label) == 0) {
    if (label != c.neutral)
      c.warnings.add(c.choice.source + ": magnetic " + ion.label + ": the tables have no X-ray row " + label +
                         "; X-ray and nuclear use the neutral atom " + c.neutral,
                     c.site.label);
    label = c.neutral;
  }
  return label;
}

// A magnetic ion velmora's <j0> table lacks: its form factor from the ion
// table, its X-ray and nuclear rows from the ion's or the element's.
SiteLabel from_ion_table(const SiteContext& c, int charge, const std::string& name) {
  const MagneticIon& ion = ion_table_row(c, name);
  const std::string label = nuclear_label_of_ion(c, ion, charge);
  require_nuclear_row(c, label);
  return SiteLabel{label, name, false};
}

// A label named with --ion that no table has: the rows that would do.
[[noreturn]] void fail_named_label(const SiteContext& c, const std::string& named_by,
                                   const std::string& label) {
  const bool magnetic = c.site.magnetic;
  fail_conversion(c.atom + ": --ion " + named_by + "=" + label + ": the tables have no " +
                  (magnetic ? "magnetic " : "") + "row " + label + " of " + c.element +
                  (magnetic
                       ? " (magnetic rows:" + c.magnetic_labels + ";" +
                             ion_table_names(c.choice.forms, c.site.element, c.choice.tables) + " with --run)"
                       : ""));
}

// The label named with --ion for the site, else for its element; nothing when
// neither is named. A magnetic atom may be named any ion of the ion table.
std::optional<SiteLabel> named_label(const SiteContext& c) {
  const IonChoices& ions = c.choice.ions;
  auto chosen = ions.find(c.site.label);
  if (chosen == ions.end()) chosen = ions.find(c.element);
  if (chosen == ions.end()) return std::nullopt;
  const std::string& label = chosen->second;
  const TableLabels& tables = c.choice.tables;
  const bool magnetic = c.site.magnetic;
  if (label_of(label, c.site.element) && tables.nuclear.count(label) != 0 &&
      (!magnetic || tables.magnetic.count(label) != 0))
    return SiteLabel{label, magnetic ? ion_name_of_label(label, c.site.element) : "", magnetic};
  const int charge = magnetic ? ion_name_charge(label, c.site.element) : -1;
  const std::size_t digit_end = c.element.size() + 1;
  if (charge >= 0 && !c.choice.forms.table().rows_of(label.substr(0, digit_end)).empty()) {
    // The ion table writes a cation without its sign: V3+ is its V3.
    std::string name = label;
    if (name.size() > digit_end && name[digit_end] == '+') name.erase(digit_end, 1);
    return from_ion_table(c, charge, name);
  }
  fail_named_label(c, chosen->first, label);
}

// The charge of the site: the file's, or for a magnetic atom typed without
// one, the charge that balances the cell, else the usual charge of a rare
// earth; `why` says which was guessed. An element with two common charges
// that the cell does not decide ends the conversion.
int site_charge(const SiteContext& c, std::string& why) {
  const CifSite& site = c.site;
  if (!site.magnetic || site.charge != 0) return site.charge;
  if (const std::optional<GuessedCharge> guess = c.choice.guessed(site); guess && guess->charge > 0) {
    why = guess->why;
    return guess->charge;
  }
  if (const auto usual = default_charge(site.element)) {
    why = "the usual charge of a rare earth";
    return *usual;
  }
  if (two_common_charges(site.element)) {
    const std::string& e = c.element;
    fail_conversion(c.atom + " is magnetic and has no charge: " + e + "2+ and " + e +
                    "3+ are both common and the charges of the cell do not decide;" +
                    " name the ion with --ion " + e + "=" + e + "2 or --ion " + e + "=" + e + "3");
  }
  return 0;
}

// The options that name another label, as a message ends with them.
std::string other_label_option(const SiteContext& c) {
  return "; name another with --ion " + c.element + "=LABEL or --ion " + c.site.label + "=LABEL";
}

// A charged atom that is not magnetic: its ion's row, else its neutral
// atom's, with a warning.
SiteLabel nonmagnetic_ion_label(const SiteContext& c, int charge) {
  const std::string ion = ion_label(c.site.element, charge);
  if (!ion.empty() && c.choice.tables.nuclear.count(ion) != 0) return {ion, "", false};
  c.warnings.add(c.choice.source + ": type " + c.site.type_symbol +
                     ": the tables have no row for the ion; the neutral atom " + c.neutral + " is used",
                 c.site.label);
  require_nuclear_row(c, c.neutral);
  return {c.neutral, "", false};
}

// A magnetic ion that neither velmora's <j0> table nor the ion table has.
[[noreturn]] void fail_unknown_magnetic_ion(const SiteContext& c, int charge) {
  fail_conversion(c.atom + " is magnetic, but no magnetic form factor of " + c.element +
                  std::to_string(std::abs(charge)) + (charge < 0 ? "-" : "+") +
                  " is known; velmora's <j0> rows:" + c.magnetic_labels + "; with --run also" +
                  ion_table_names(c.choice.forms, c.site.element, c.choice.tables) + other_label_option(c));
}

// Tells which guessed charge a magnetic atom typed without one was given.
void warn_guessed_charge(const SiteContext& c, int charge, const std::string& why, const SiteLabel& chosen) {
  const std::string& e = c.element;
  c.warnings.add(
      c.choice.source + ": magnetic " + e + " without a charge: " + e + std::to_string(charge) + "+ from " +
          why + " is used for its magnetic form factor" +
          (chosen.label == c.neutral ? "" : " and for its X-ray and nuclear rows (" + chosen.label + ")") +
          other_label_option(c),
      c.site.label);
}

// A charged magnetic atom: its ion's <j0> row, else its ion's row of the ion
// table. Nothing when the charge was guessed and no form factor has it (a
// closed shell): the guess is dropped for the neutral atom, with a warning.
std::optional<SiteLabel> magnetic_ion_label(const SiteContext& c, int charge, const std::string& why) {
  const std::string ion = ion_label(c.site.element, charge);
  const std::string name = ion_name(c.site.element, charge);
  SiteLabel chosen;
  if (!ion.empty() && c.choice.tables.magnetic.count(ion) != 0) {
    chosen = {ion, name, true};
  } else if (charge > 0 && !c.choice.forms.table().rows_of(name).empty()) {
    chosen = from_ion_table(c, charge, name);
  } else if (!why.empty() && !open_shell(c.site.element, charge)) {
    // Cr6+ (d0) has no moment and no form factor: said, not dropped silently.
    c.warnings.add(c.choice.source + ": magnetic " + c.element + " without a charge: " + c.element +
                       std::to_string(charge) + "+ from " + why +
                       " has no magnetic form factor (no moment in a closed shell), so its neutral atom" +
                       " is used" + other_label_option(c),
                   c.site.label);
    return std::nullopt;
  } else if (!why.empty()) {
    // Tb4+ carries a moment but no table has its form factor: another ion only on request.
    fail_conversion(c.atom + " is magnetic and has no charge: " + c.element + std::to_string(charge) +
                    "+ from " + why + " has no magnetic form factor in velmora's tables nor the ion table" +
                    other_label_option(c));
  } else {
    fail_unknown_magnetic_ion(c, charge);
  }
  if (!why.empty()) warn_guessed_charge(c, charge, why, chosen);
  return chosen;
}

// A neutral magnetic atom: the neutral atom's <j0> row, else the element's
// only one, each with a warning; with neither the conversion ends.
SiteLabel neutral_magnetic_label(const SiteContext& c) {
  const std::string& e = c.element;
  const std::string& labels = c.magnetic_labels;
  if (c.choice.tables.magnetic.count(c.neutral) != 0) {
    if (labels != " " + c.neutral)
      c.warnings.add(c.choice.source + ": magnetic " + e +
                     " without a charge: the form factor <j0> of the neutral atom " + c.neutral +
                     " is used; the tables also have" + labels.substr(0, labels.find(" " + c.neutral)) +
                     " (name the ion with --ion " + e + "=LABEL)");
    return {c.neutral, ion_name(c.site.element, 0), true};
  }
  if (labels.size() == 4) {  // one label of three characters, after its space
    c.warnings.add(c.choice.source + ": magnetic " + e + " without a charge: the tables' only <j0> row of " +
                   e + "," + labels + ", is used");
    const std::string only = labels.substr(1);
    return {only, ion_name_of_label(only, c.site.element), true};
  }
  fail_conversion(c.atom + " is magnetic and has no charge, and the charges of the cell do not decide one; " +
                  "velmora's <j0> rows:" + (labels.empty() ? " none" : labels) + "; with --run also" +
                  ion_table_names(c.choice.forms, c.site.element, c.choice.tables) +
                  " (name the ion with --ion " + e + "=LABEL or --ion " + c.site.label + "=LABEL)");
}

// An atom without a charge, or whose guessed charge was dropped: its neutral
// atom's rows, with a warning when its type symbol held text that is no charge.
SiteLabel neutral_site_label(const SiteContext& c) {
  const CifSite& site = c.site;
  if (site.charge_unreadable && site.type_symbol != site.label) {
    c.warnings.add(c.choice.source + ": " + c.element +
                       ": no charge can be read after the element in the type symbol; the neutral atom " +
                       c.neutral + " is used",
                   site.label);
  }
  require_nuclear_row(c, c.neutral);
  if (!site.magnetic) return {c.neutral, "", false};
  return neutral_magnetic_label(c);
}

}  // namespace

SiteLabel site_label(const CifSite& site, LabelChoice& choice, Warnings& warnings) {
  const SiteContext c = site_context(site, choice, warnings);
  if (std::optional<SiteLabel> named = named_label(c)) return *named;
  std::string why;  // how a charge the file does not give was chosen
  const int charge = site_charge(c, why);
  if (charge != 0) {
    if (!site.magnetic) return nonmagnetic_ion_label(c, charge);
    if (std::optional<SiteLabel> ion = magnetic_ion_label(c, charge, why)) return *ion;
  }
  return neutral_site_label(c);
}

std::optional<std::array<float, 7>> velmora_j0_of(const ScatteringTables& tables, const std::string& label) {
  return velmora_j0_row(tables, symbol_of(label));
}

}  // namespace velmora::cif
