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
         "                   [--ion NAME=LABEL ...] [--run]\n"
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
         "                  (--ion Mn=Mn3, --ion Mn1=Mn3; repeatable)\n"
         "  --run           print velmora's report for the answers, as `velmora < OUT` run in\n"
         "                  the folder of the tables prints it, and exit with velmora's status\n"
         "Without --run, in the folder of the tables: velmora < OUT\n";
}

const frontend::ProgramSpec& program_spec() {
  static const frontend::ProgramSpec spec{
      "velmora-cif",
      "CIF",
      {{"-o"}, {"--dmin"}, {"--hkl"}, {"--block"}, {"--tables"}, {"--ion", true, true}, {"--run", false}},
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
  return options;
}

std::string convert(const Options& options, Warnings& warnings, TableFiles* tables_used) {
  gemmi::cif::Document document = read_cif_file(options.input, warnings);
  const CifStructure s = read_cif_structure(document, options.block, warnings);
  TableLabels tables = read_table_labels(tables_folder(options.tables));
  std::string answers = answers_for(s, tables, options, warnings);
  if (tables_used != nullptr) *tables_used = std::move(tables.files);
  return answers;
}

std::string answers_for(const CifStructure& s, const TableLabels& tables, const Options& options,
                        Warnings& warnings) {
  std::vector<std::string> symbols, sites;
  for (const CifSite& site : s.sites) {
    symbols.push_back(velmora_label(site, tables, options.ions, s.source, warnings));
    sites.push_back(site_text(site.label, s.source, warnings));
  }

  std::vector<AnswerAtom> atoms;
  const std::vector<CellAtom> cell_atoms = expand_cell(s, warnings);
  check_content(s, cell_atoms, warnings);
  for (const CellAtom& cell_atom : cell_atoms) {
    const CifSite& site = s.sites[cell_atom.site];
    AnswerAtom atom;
    atom.symbol = symbols[cell_atom.site];
    atom.xyz = cell_atom.xyz;
    atom.occ = site.occ;
    atom.biso = site.biso;
    atom.magnetic = site.magnetic;
    if (site.magnetic) atom.moment = moment_angles(cell_atom.moment);
    atom.site = sites[cell_atom.site];
    atoms.push_back(atom);
  }

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
