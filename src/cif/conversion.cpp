// The conversion's steps in order: read the CIF, choose a label for each site
// (so that a missing table row stops the conversion before any work), expand
// the sites to the whole cell, list the reflections, write the answers.
#include "cif/conversion.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gemmi/cifdoc.hpp>
#include <map>

#include "cif/answer_file.hpp"
#include "cif/cell_expansion.hpp"
#include "cif/charge_balance.hpp"
#include "cif/cif_structure.hpp"
#include "cif/content_check.hpp"
#include "cif/reflection_list.hpp"
#include "cif/table_labels.hpp"

namespace velmora::cif {
namespace {

double dmin_value(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
    fail_conversion("--dmin " + text + ": not a number");
  return value;
}

// A site label as the answers carry it, after the values on an atom line:
// velmora skips it, but a blank, control character or line break in it would
// shift every later answer, so each such character becomes _.
std::string site_text(const std::string& label, const std::string& source, Warnings& warnings) {
  std::string text = label;
  bool beyond_ascii = false;
  for (char& c : text) {
    beyond_ascii = beyond_ascii || static_cast<unsigned char>(c) >= 0x80;
    if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7f) c = '_';
  }
  // The answers are ASCII: velmora's tables and reports are.
  if (beyond_ascii)
    warnings.add(source + ": letters beyond ASCII in site labels are written as _", label);
  else if (text != label)
    warnings.add(source + ": blanks and control characters in site labels are written as _", text);
  return text.empty() ? "_" : text;
}

}  // namespace

std::string usage_text() {
  return "usage: velmora-cif FILE [--dmin D | --hkl HKLFILE] [-o OUT] [--block NAME] [--tables DIR]\n"
         "                   [--ion NAME=LABEL ...] [--magnetic-model j0|dipole] [--g NAME=G ...]\n"
         "                   [--run [--format csv|json [--unique]]]\n"
         "       velmora-cif --version\n"
         "Writes velmora's answers for the structure of a CIF or magnetic CIF: every atom of\n"
         "the cell, the moments of the magnetic atoms and the reflections.\n"
         "  --dmin D        every h k l with d >= D (angstroms), by decreasing d\n"
         "  --hkl HKLFILE   the reflections of a file, one h k l a line\n"
         "  -o OUT          write the answers to OUT instead of standard output\n"
         "  --block NAME    the data block to read (default: the first with atom sites)\n"
         "  --tables DIR    the folder of velmora's three tables (default: the working\n"
         "                  directory when it has them, else the installed data folder)\n"
         "  --ion NAME=LABEL  the table label of the atoms of an element or a site\n"
         "                  (--ion Mn=Mn3, --ion Mn1=Mn3; repeatable); for a magnetic atom\n"
         "                  with --run, also an ion of magnetic_form_factors.csv (--ion Ir=Ir4,\n"
         "                  --ion W=W0:6s1 where the ion has several configurations)\n"
         "  --magnetic-model j0|dipole  the magnetic form factor: j0 (default), velmora's\n"
         "                  <j0> where its table has the ion, else <j0> of the ion table;\n"
         "                  dipole, <j0> + (2/g - 1) <j2> with g from the ion's term (--run)\n"
         "  --g NAME=G      the Lande factor of the magnetic atoms of an element or a site\n"
         "                  under the dipole model (--g Fe=2; repeatable)\n"
         "  --run           print velmora's report for the answers, as `velmora < OUT` run in\n"
         "                  the folder of the tables prints it, and exit with velmora's status\n"
         "  --format F      with --run: velmora's values as a table, F = csv or json, every\n"
         "                  number in the fewest digits that read back as it, with the model\n"
         "  --unique        with --format: one row per set of equivalent reflections, with\n"
         "                  its multiplicity (Laue group of the nuclear and magnetic structure)\n"
         "Without --run, in the folder of the tables: velmora < OUT\n";
}

const frontend::ProgramSpec& program_spec() {
  static const frontend::ProgramSpec spec{
      "velmora-cif",
      "CIF",
      {{"-o"}, {"--dmin"}, {"--hkl"}, {"--block"}, {"--tables"}, {"--ion", true, true},
       {std::string(kMagneticModelOption)}, {"--g", true, true}, {"--run", false}, {"--format"}, {"--unique", false}},
      usage_text()};
  return spec;
}

Options options_of(const frontend::CommandLine& line) {
  Options options;
  options.input = line.operand;
  frontend::check_exclusive(line, "--dmin", "--hkl");
  if (line.has("--dmin")) options.dmin = dmin_value(line.value("--dmin"));
  for (const std::string& ion : line.values("--ion")) {
    const auto equals_at = ion.find('=');
    if (equals_at == 0 || equals_at == std::string::npos || equals_at + 1 == ion.size())
      fail_conversion("--ion " + ion + ": give NAME=LABEL, such as Mn=Mn3 or Mn1=Mn3");
    if (!options.ions.emplace(ion.substr(0, equals_at), ion.substr(equals_at + 1)).second)
      fail_conversion("--ion " + ion + ": " + ion.substr(0, equals_at) + " is given a label twice");
  }
  options.hkl_file = line.value("--hkl");
  options.output = line.value("-o");
  options.block = line.value("--block");
  options.tables = line.value("--tables");
  options.run = line.has("--run");
  options.format = line.value("--format");
  options.unique = line.has("--unique");
  if (!options.format.empty() && options.format != "csv" && options.format != "json")
    fail_conversion("--format " + options.format + ": give csv or json");
  if (!options.format.empty() && !options.run)
    fail_conversion("--format " + options.format + ": the table holds the values of velmora's run; add --run");
  if (options.unique && options.format.empty())
    fail_conversion("--unique: velmora's report has no multiplicity column; add --format csv or --format json");
  for (const std::string& g_text : line.values("--g")) {
    const auto equals_at = g_text.find('=');
    double g = 0;
    const char* end = g_text.data() + g_text.size();
    const bool read = equals_at != 0 && equals_at != std::string::npos &&
                      std::from_chars(g_text.data() + equals_at + 1, end, g).ptr == end;
    if (!read || !std::isfinite(g) || g <= 0)
      fail_conversion("--g " + g_text + ": give NAME=G with a Lande factor G above 0, such as Fe=2");
    options.g[g_text.substr(0, equals_at)] = g;
  }
  if (line.has(std::string(kMagneticModelOption))) {
    const std::string name = line.value(std::string(kMagneticModelOption));
    const auto model = magnetic_model_named(name);
    if (!model) fail_conversion(std::string(kMagneticModelOption) + " " + name + ": give j0 or dipole");
    options.model = *model;
  }
  if (options.model == MagneticModel::dipole && !options.run)
    fail_conversion(std::string(kMagneticModelOption) +
                    " dipole needs --run: velmora itself computes its <j0> table's form factors only");
  if (!options.g.empty() && options.model != MagneticModel::dipole)
    fail_conversion("--g needs " + std::string(kMagneticModelOption) +
                    " dipole: the j0 model has no orbital part to weigh");
  return options;
}

std::string convert(const Options& options, Warnings& warnings, TableFiles* tables_used,
                    MagneticForms* magnetic, ConversionModel* model) {
  gemmi::cif::Document document = read_cif_file(options.input, warnings);
  const CifStructure s = read_cif_structure(document, options.block, warnings);
  TableLabels tables = read_table_labels(tables_folder(options.tables));
  MagneticForms forms;
  std::string answers, site_labels;
  try {
    answers = answers_for(s, tables, options, warnings, forms, &site_labels);
  } catch (const MagneticModelError& e) {
    fail_conversion(e.what());
  }
  if (tables_used != nullptr) *tables_used = std::move(tables.files);
  if (model != nullptr) *model = {s.source, s.block, tables.folder, s.cell, s.operations, site_labels};
  if (magnetic != nullptr) *magnetic = std::move(forms);
  return answers;
}

namespace {

// The content of the cell for a charge balance: each site's atoms in the
// cell, weighted by occupancy, with the charge the file or --ion gives.
std::vector<SiteContent> cell_content(const CifStructure& s, const std::vector<CellAtom>& atoms,
                                      const IonChoices& ions) {
  std::vector<SiteContent> content(s.sites.size());
  for (std::size_t i = 0; i < s.sites.size(); ++i) {
    const CifSite& site = s.sites[i];
    content[i].element = site.element;
    if (site.charge != 0) content[i].charge = site.charge;
    auto named = ions.find(site.label);
    if (named == ions.end()) named = ions.find(site.element.name());
    const std::string symbol = site.element.name();
    if (named != ions.end() && named->second.size() > symbol.size() &&
        std::isdigit(static_cast<unsigned char>(named->second[symbol.size()])))
      content[i].charge = (named->second[symbol.size()] - '0') *
                          (named->second.size() > symbol.size() + 1 && named->second[symbol.size() + 1] == '-' ? -1 : 1);
  }
  for (const CellAtom& atom : atoms) content[atom.site].count += s.sites[atom.site].occ;
  return content;
}

}  // namespace

std::string answers_for(const CifStructure& s, const TableLabels& tables, const Options& options,
                        Warnings& warnings, MagneticForms& magnetic, std::string* site_labels) {
  magnetic.chooser = std::make_unique<MagneticFormChooser>(options.model, tables.folder);
  std::optional<std::vector<CellAtom>> cell_atoms;
  const auto expanded = [&]() -> const std::vector<CellAtom>& {
    if (!cell_atoms) cell_atoms = expand_cell(s, warnings);
    return *cell_atoms;
  };
  std::optional<std::map<int, int>> balanced;
  LabelChoice choice{tables, options.ions, s.source, *magnetic.chooser, [&]() {
                       if (!balanced) balanced = balanced_charges(cell_content(s, expanded(), options.ions));
                       return *balanced;
                     }};
  std::vector<SiteLabel> labels;
  std::vector<MagneticForm> site_forms(s.sites.size());
  std::vector<std::string> sites;
  for (const CifSite& site : s.sites) {
    labels.push_back(site_label(site, choice, warnings));
    if (site_labels != nullptr)
      *site_labels += (site_labels->empty() ? "" : " ") + site.label + "=" + labels.back().label;
    sites.push_back(site_text(site.label, s.source, warnings));
    if (const std::string& label = labels.back().label; tables.beyond.count(label) != 0) {
      if (!options.run)
        fail_conversion(s.source + ": atom '" + site.label + "': its X-ray and neutron rows (" + label +
                        ") are among the tables' rows after velmora's own, which velmora itself does not "
                        "read, so velmora cannot compute it: convert with --run");
      const auto note = tables.notes.find(label);
      warnings.add(s.source + ": " + label + ": X-ray and neutron rows from the tables' rows after velmora's own" +
                       (note != tables.notes.end() ? "; the nuclear length is that of " + note->second : ""),
                   site.label);
    }
    if (!site.magnetic) continue;
    MagneticAtom atom{labels.back().ion, labels.back().velmora_form, std::nullopt, false};
    if (auto g = options.g.find(site.label); g != options.g.end()) atom.g = g->second;
    else if (auto by_element = options.g.find(site.element.name()); by_element != options.g.end())
      atom.g = by_element->second;
    std::vector<std::string> notes;
    site_forms[sites.size() - 1] = magnetic.chooser->form_of(atom, notes);
    for (const std::string& note : notes) warnings.add(s.source + ": " + note, site.label);
    if (site_forms[sites.size() - 1].ion && !options.run)
      fail_conversion(s.source + ": atom '" + site.label + "': its magnetic form factor (" +
                      site_forms[sites.size() - 1].ion->name() + ", " +
                      (options.model == MagneticModel::dipole ? "dipole model" : "<j0>") +
                      ") is not in velmora's tables, so velmora itself cannot compute it: convert with --run");
  }

  std::vector<AnswerAtom> atoms;
  check_content(s, expanded(), warnings);
  for (const CellAtom& cell_atom : expanded()) {
    const CifSite& site = s.sites[cell_atom.site];
    AnswerAtom atom;
    atom.symbol = labels[cell_atom.site].label;
    atom.xyz = cell_atom.xyz;
    atom.occ = site.occ;
    atom.biso = site.biso;
    atom.magnetic = site.magnetic;
    if (site.magnetic) {
      atom.moment = moment_angles(cell_atom.moment);
      magnetic.forms.push_back(site_forms[cell_atom.site]);
    }
    atom.site = sites[cell_atom.site];
    atoms.push_back(atom);
  }
  magnetic.report_line = MagneticFormChooser::describe(options.model, magnetic.forms);

  std::vector<Hkl> reflections;
  if (options.dmin) {
    reflections = reflections_to_dmin(s.cell, *options.dmin);
  } else if (!options.hkl_file.empty()) {
    reflections = read_reflection_file(options.hkl_file);
  } else {
    warnings.add("no --dmin or --hkl: the answers ask for no reflection");
  }
  return answer_text(s.cell, atoms, reflections);
}

}  // namespace velmora::cif
