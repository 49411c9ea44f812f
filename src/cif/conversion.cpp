// The conversion's steps in order: read the CIF, choose a label for each site
// (so that a missing table row stops the conversion before any work), expand
// the sites to the whole cell, list the reflections, write the answers.
#include "cif/conversion.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gemmi/cifdoc.hpp>
#include <map>

#include "cif/answer_file.hpp"
#include "cif/bond_valence.hpp"
#include "cif/cell_expansion.hpp"
#include "cif/charge_balance.hpp"
#include "cif/cif_structure.hpp"
#include "cif/content_check.hpp"
#include "cif/reflection_list.hpp"
#include "cif/table_labels.hpp"
#include "errors/escaping.hpp"

namespace velmora::cif {
namespace {}  // namespace

CifCrystal read_cif_crystal(const std::string& path, const CrystalChoices& choices, Warnings& warnings) {
  gemmi::cif::Document document = read_cif_file(path, warnings);
  const CifStructure s = read_cif_structure(document, choices.block, warnings);
  TableLabels tables = read_table_labels(tables_folder(choices.tables));
  CifCrystal out;
  try {
    out.crystal = crystal_of(s, tables, choices, warnings);
  } catch (const MagneticModelError& e) {
    fail_conversion(e.what());
  }
  out.block = s.block;
  out.tables_folder = tables.folder;
  out.tables = std::move(tables.files);
  out.scattering = std::move(tables.scattering);
  return out;
}

std::string site_labels(const Crystal& crystal) {
  std::string out;
  for (const CrystalSite& site : crystal.sites) {
    // A label of bytes that are no UTF-8 as the answers write it (and the
    // warning says), so that JSON and Python strings stay valid.
    const bool valid = frontend::printable(site.label) == site.label;
    out += (out.empty() ? "" : " ") + (valid ? site.label : answer_site_text(site.label)) + "=" +
           std::string(trimmed_text_of(site.atype));
  }
  return out;
}

std::vector<Hkl> reflections_asked(const Options& options, const CellParameters& cell, Warnings& warnings) {
  if (options.dmin)
    return reflections_to_dmin(gemmi::UnitCell(cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]),
                               *options.dmin);
  if (!options.hkl_file.empty()) return read_reflection_file(options.hkl_file);
  warnings.add("no --dmin or --hkl: the answers ask for no reflection");
  return {};
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
    content[i].magnetic = site.magnetic;
    if (site.charge != 0) content[i].charge = site.charge;
    auto named = ions.find(site.label);
    if (named == ions.end()) named = ions.find(site.element.name());
    const std::string symbol = site.element.name();
    if (named != ions.end() && named->second.size() > symbol.size() &&
        std::isdigit(static_cast<unsigned char>(named->second[symbol.size()])))
      content[i].charge =
          (named->second[symbol.size()] - '0') *
          (named->second.size() > symbol.size() + 1 && named->second[symbol.size() + 1] == '-' ? -1 : 1);
  }
  for (const CellAtom& atom : atoms) content[atom.site].count += s.sites[atom.site].occ;
  return content;
}

// The charges guessed for the sites typed without one, bond valences summed
// at the first atom of each site.
std::vector<std::optional<GuessedCharge>> guess_site_charges(const CifStructure& s,
                                                             const std::vector<CellAtom>& atoms,
                                                             const IonChoices& ions) {
  std::vector<BondAtom> bond_atoms;
  std::vector<std::size_t> first(s.sites.size(), atoms.size());
  for (const CellAtom& atom : atoms) {
    if (first[atom.site] == atoms.size()) first[atom.site] = bond_atoms.size();
    bond_atoms.push_back({s.sites[atom.site].element, atom.xyz, s.sites[atom.site].occ});
  }
  return guess_charges(cell_content(s, atoms, ions),
                       [&](std::size_t site, int charge) -> std::optional<double> {
                         if (first[site] == atoms.size()) return std::nullopt;
                         return bond_valence_sum(s.cell, bond_atoms, first[site], charge);
                       });
}

// A value as the answers hold it: one whose single-precision value is zero
// is +0, as an answer file writes it.
double answer_value(double v) { return static_cast<float>(v) == 0.0f ? 0.0 : v; }

std::array<double, 3> answer_values(const std::array<double, 3>& v) {
  return {answer_value(v[0]), answer_value(v[1]), answer_value(v[2])};
}

// A label velmora skips at the end of an answer line is still written with
// its bytes changed where they would shift later answers; the reader is told.
void note_site_text(const std::string& label, const std::string& source, Warnings& warnings) {
  const std::string text = answer_site_text(label);
  const bool beyond_ascii =
      std::any_of(label.begin(), label.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  // The answers are ASCII: velmora's tables and reports are.
  if (beyond_ascii)
    warnings.add(source + ": letters beyond ASCII in site labels are written as _", label);
  else if (text != label && !label.empty())
    warnings.add(source + ": blanks and control characters in site labels are written as _", text);
}

// A row after velmora's own: refused when only velmora's rows may be used,
// else taken with a warning that names its isotope.
void note_rows_beyond(const CifSite& site, const std::string& label, const TableLabels& tables,
                      const CrystalChoices& choices, const std::string& source, Warnings& warnings) {
  if (tables.beyond.count(label) == 0) return;
  if (choices.velmora_only)
    fail_conversion(source + ": atom '" + site.label + "': its X-ray and neutron rows (" + label +
                    ") are among the tables' rows after velmora's own, which velmora itself does not "
                    "read, so velmora cannot compute it: convert with --run");
  const auto note = tables.notes.find(label);
  warnings.add(source + ": " + label + ": X-ray and neutron rows from the tables' rows after velmora's own" +
                   (note != tables.notes.end() ? "; the nuclear length is that of " + note->second : ""),
               site.label);
}

// The magnetic form factor of a magnetic site, by the choices' model.
MagneticForm site_form(const CifSite& site, const SiteLabel& label, const CrystalChoices& choices,
                       const ScatteringTables& tables, MagneticFormChooser& chooser,
                       const std::string& source, Warnings& warnings) {
  MagneticAtom atom{label.ion, label.velmora_form, std::nullopt, false, std::nullopt};
  if (label.velmora_form) atom.own_j0 = velmora_j0_of(tables, label.label);
  if (auto g = choices.g.find(site.label); g != choices.g.end())
    atom.g = g->second;
  else if (auto by_element = choices.g.find(site.element.name()); by_element != choices.g.end())
    atom.g = by_element->second;
  std::vector<std::string> notes;
  const MagneticForm form = chooser.form_of(atom, notes);
  for (const std::string& note : notes) warnings.add(source + ": " + note, site.label);
  if (form.ion && choices.velmora_only)
    fail_conversion(source + ": atom '" + site.label + "': its magnetic form factor (" + form.ion->name() +
                    ", " + (choices.model == MagneticModel::dipole ? "dipole model" : "<j0>") +
                    ") is not in velmora's tables, so velmora itself cannot compute it: convert with --run");
  return form;
}

CrystalSite crystal_site(const CifSite& site, const SiteLabel& label) {
  CrystalSite out;
  out.label = site.label;
  out.element = site.element.name();
  out.charge = site.charge;
  out.atype = symbol_of(label.label);
  out.xyz = site.fract;
  out.occ = site.occ;
  out.biso = site.biso;
  out.uaniso = site.uaniso;
  out.magnetic = site.magnetic;
  out.moment = site.moment;
  return out;
}

}  // namespace

Crystal crystal_of(const CifStructure& s, const TableLabels& tables, const CrystalChoices& choices,
                   Warnings& warnings) {
  Crystal crystal;
  crystal.source = s.source;
  crystal.cell = {s.cell.a, s.cell.b, s.cell.c, s.cell.alpha, s.cell.beta, s.cell.gamma};
  crystal.operations = s.operations;
  crystal.magnetic_operations = s.magnetic_operations;
  CrystalMagnetism& magnetism = crystal.magnetism;
  magnetism.chooser = std::make_shared<MagneticFormChooser>(choices.model, tables.folder);
  std::optional<std::vector<CellAtom>> cell_atoms;
  const auto expanded = [&]() -> const std::vector<CellAtom>& {
    if (!cell_atoms) cell_atoms = expand_cell(s, warnings);
    return *cell_atoms;
  };
  std::optional<std::vector<std::optional<GuessedCharge>>> guessed;
  LabelChoice choice{tables, choices.ions, s.source, *magnetism.chooser, [&](const CifSite& site) {
                       if (!guessed) guessed = guess_site_charges(s, expanded(), choices.ions);
                       return (*guessed)[&site - s.sites.data()];
                     }};
  std::vector<MagneticForm> site_forms(s.sites.size());
  for (const CifSite& site : s.sites) {
    const SiteLabel label = site_label(site, choice, warnings);
    note_site_text(site.label, s.source, warnings);
    note_rows_beyond(site, label.label, tables, choices, s.source, warnings);
    if (site.magnetic)
      site_forms[crystal.sites.size()] =
          site_form(site, label, choices, tables.scattering, *magnetism.chooser, s.source, warnings);
    crystal.sites.push_back(crystal_site(site, label));
  }

  check_content(s, expanded(), warnings);
  for (const CellAtom& cell_atom : expanded()) {
    const CifSite& site = s.sites[cell_atom.site];
    CrystalAtom atom{cell_atom.site, answer_values(cell_atom.xyz), {}};
    if (site.magnetic) {
      const CartesianMoment m = moment_angles(cell_atom.moment);
      atom.moment = {answer_value(m.size), answer_value(m.angle_to_x), answer_value(m.angle_to_z)};
      magnetism.forms.push_back(site_forms[cell_atom.site]);
    }
    crystal.atoms.push_back(atom);
  }
  for (CrystalSite& site : crystal.sites) {
    site.occ = answer_value(site.occ);
    site.biso = answer_value(site.biso);
  }
  magnetism.model_line = MagneticFormChooser::describe(choices.model, magnetism.forms);
  return crystal;
}

}  // namespace velmora::cif
