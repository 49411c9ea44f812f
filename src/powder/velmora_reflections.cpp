// From an answer file to velmora's values: the files are read into memory and
// handed to velmora's readers through an in-memory console; when a reader ends
// the run, what it recorded (the answer, the line, the reason) makes the message.
#include "powder/velmora_reflections.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <set>

#include "console/console.hpp"
#ifdef VELMORA_POWDER_DISPERSION
#include "dispersion/xray_dispersion.hpp"
#endif
#include "console/run_end.hpp"
#include "errors/velmora_failure.hpp"
#include "files/input_file.hpp"
#include "geometry/moment_directions.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "magnetic/tabulated_forms.hpp"
#include "model/atom_names.hpp"
#include "powder/number_text.hpp"
#include "powder/powder_error.hpp"
#include "report/structure_dialogue.hpp"
#include "run/run_state.hpp"
#include "run/run_structure.hpp"
#include "scattering/reflection_threads.hpp"
#include "scattering/symbol_lookup.hpp"
#include "tables/table_folder.hpp"

namespace velmora::powder {
namespace {

void load_tables(const std::string& folder, ScatteringTables& tables) {
  Console console{std::string()};
  std::filesystem::path unreadable;
  console.data_files = read_table_files(folder, unreadable);
  if (!console.data_files) fail_powder(unreadable_table_text(unreadable));
  try {
    load_scattering_tables(console, tables, true);
  } catch (const RunEnded&) {
    frontend::fail(frontend::table_failure(console, tables, folder));
  }
}

// Text velmora would misread without a word: a byte-order mark becomes part of the
// first number, and lines ended by CR alone run together into one.
void check_line_form(const std::string& path, const std::string& text) {
  if (text.rfind("\xef\xbb\xbf", 0) == 0)
    frontend::fail_file(path,
                        "starts with a UTF-8 byte-order mark, which velmora reads as part of the first "
                        "answer; save the file without it");
  for (std::size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] == '\n') continue;
    frontend::Failure failure;
    failure.file = path;
    failure.line =
        1 + static_cast<long>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
    failure.reason =
        "a line ends with CR alone, which velmora does not read as a line end; save the file "
        "with LF or CR LF line ends";
    frontend::fail(std::move(failure));
  }
}

[[noreturn]] void fail_missing_symbol(const std::string& answers, const ScatteringTables& tables,
                                      const std::string& folder, const Symbol& symbol) {
  const auto nuclear = std::span(tables.neutron).first(static_cast<std::size_t>(tables.nuclear_rows));
  const bool has_nuclear =
      find_symbol_row(symbol, nuclear, [](const NeutronLengthRow& r) { return r.nion; }) != kUnknownSymbol;
  frontend::Failure failure;
  failure.code = frontend::FailureCode::answers;
  failure.file = answers;
  failure.reason = "atom type \"" + std::string(text_of(symbol)) + "\" has no row in " +
                   (has_nuclear ? "the magnetic form-factor table" : "the X-ray and neutron tables") +
                   " of " + folder + " (see data/README.md for the labels)";
  frontend::fail(std::move(failure));
}

// The element of an answer label (Fe of Fex, Fe3; V of V3+; O of Oxx) and the
// ion-table name of its ion (Fe0, Fe3, V3); empty for a label of no such form.
std::pair<std::string, std::string> element_and_ion(const std::string& label) {
  const std::string element = label_element(label);
  if (element.empty()) return {};
  const std::string rest = label.substr(element.size());
  if (rest.find_first_not_of('x') == std::string::npos) return {element, element + "0"};
  if (std::isdigit(static_cast<unsigned char>(rest[0])) && (rest.size() == 1 || rest.substr(1) == "+"))
    return {element, element + rest[0]};
  return {};
}

}  // namespace

void choose_magnetic_forms(VelmoraCrystal& crystal, const PowderOptions& options, Remarks& remarks) {
  const Structure& structure = crystal.structure();
  const ScatteringTables& tables = crystal.state->tables;
  CrystalMagnetism& magnetism = crystal.model.magnetism;
  magnetism.chooser = std::make_shared<MagneticFormChooser>(options.model, crystal.tables_folder);
  std::vector<MagneticForm>& forms = magnetism.forms;
  forms.clear();
  const auto velmora_rows = std::span(tables.magnetic).first(kMagneticRows);
  std::set<std::string> said;
  const auto nuclear_rows = std::span(tables.neutron).first(static_cast<std::size_t>(tables.nuclear_rows));
  for (const AtomSite& atom : structure.magnetic) {
    const std::string label(text_of(atom.atype));
    // A label the X-ray and neutron tables lack is the reflection loop's to report.
    if (find_symbol_row(atom.atype, nuclear_rows, [](const NeutronLengthRow& r) { return r.nion; }) ==
        kUnknownSymbol) {
      forms.emplace_back();
      continue;
    }
    const auto [element, ion] = element_and_ion(label);
    MagneticAtom wanted{ion,
                        find_symbol_row(atom.atype, velmora_rows,
                                        [](const MagneticFormRow& r) { return r.mion; }) != kUnknownSymbol,
                        std::nullopt, false, velmora_j0_row(tables, atom.atype)};
    // The ion named for the atom type, else for its element, as --g and velmora-cif's --ion.
    const std::string own = label_element(label);
    auto named = options.ions.find(label);
    if (named == options.ions.end() && !own.empty()) named = options.ions.find(own);
    if (named != options.ions.end()) {
      // An ion of another element would give the atom a form factor it cannot have.
      if (label_element(named->second) != own)
        fail_powder("magnetic atom type \"" + label + "\": --ion " + named->first + "=" + named->second +
                    ": the tables have no magnetic row " + named->second + " of " + own);
      wanted.ion = named->second;
      wanted.named = true;
    }
    if (auto g = options.g.find(label); g != options.g.end())
      wanted.g = g->second;
    else if (auto by_element = options.g.find(element); by_element != options.g.end())
      wanted.g = by_element->second;
    if (wanted.ion.empty() && (options.model == MagneticModel::dipole || !wanted.in_velmora_table))
      fail_powder("magnetic atom type \"" + label + "\" names no ion of " +
                  std::string(kMagneticIonFileName) + "; name one with --ion " + label + "=ION");
    std::vector<std::string> notes;
    try {
      forms.push_back(magnetism.chooser->form_of(wanted, notes));
    } catch (const MagneticModelError& e) {
      fail_powder("magnetic atom type \"" + label + "\": " + e.what() + " (name the ion with --ion " + label +
                  "=ION)");
    }
    for (const std::string& note : notes)
      if (said.insert(note).second) remarks.warn(note);
  }
  magnetism.model_line = MagneticFormChooser::describe(options.model, forms);
}

void note_rows_beyond_velmora(const VelmoraCrystal& crystal, Remarks& remarks) {
  const ScatteringTables& tables = crystal.state->tables;
  std::set<std::string> said;
  for (const AtomSite& atom : crystal.structure().atoms) {
    const auto rows = std::span(tables.xray).first(static_cast<std::size_t>(tables.nuclear_rows));
    const int row = find_symbol_row(atom.atype, rows, [](const XrayCoefficientRow& r) { return r.ion; });
    const std::string label(text_of(atom.atype));
    if (row <= kXrayRows || !said.insert(label).second) continue;
    const auto note = tables.row_notes.find(label);
    remarks.warn(crystal.source() + ": atom type \"" + label +
                 "\": X-ray and neutron rows from the tables' rows after velmora's own, which velmora itself "
                 "does not read" +
                 (note != tables.row_notes.end() ? "; the nuclear length is that of " + note->second : ""));
  }
}

VelmoraCrystal velmora_tables(const std::string& tables_folder) {
  VelmoraCrystal crystal{{}, std::make_unique<RunState>(), tables_folder};
  crystal.state->pi = kPi;
  crystal.state->eg2mc = kEg2mc;
  load_tables(tables_folder, crystal.state->tables);
  return crystal;
}

Crystal read_answer_crystal(std::string answers, const std::string& source, std::vector<Reflection>& hkl) {
  Console console(std::move(answers));
  Crystal crystal;
  try {
    read_structure_dialogue(console, kPi, crystal, hkl);
  } catch (const RunEnded&) {
    frontend::fail(frontend::answer_failure(console, source));
  }
  crystal.source = source;
  return crystal;
}

void check_answer_values(const Crystal& crystal, Remarks& remarks) {
  // As velmora-cif's bound: a little above 1 is a rounded full site, beyond it no occupancy.
  constexpr double kMostOccupancy = 1.05;
  for (std::size_t i = 0; i < crystal.sites.size(); ++i) {
    const CrystalSite& site = crystal.sites[i];
    const std::string atom = crystal.source + ": atom " + std::to_string(i + 1) + " (" +
                             std::string(trimmed_text_of(site.atype)) + ")";
    if (site.occ < 0 || site.occ > kMostOccupancy)
      fail_powder(atom + ": occupancy " + shortest_text(site.occ) +
                  ": an occupancy is the fraction of the site held, from 0 to 1");
    if (site.occ > 1)
      remarks.warn(atom + ": an occupancy above 1 (a rounded or refined full site?) is used as it stands");
    if (site.biso < 0)
      remarks.warn(atom +
                   ": a negative displacement parameter is unphysical (its peaks grow with angle);"
                   " it is used as it stands");
  }
}

void set_crystal(VelmoraCrystal& v, Crystal crystal, std::vector<Reflection> hkl) {
  RunState& state = *v.state;
  v.model = std::move(crystal);
  state.structure = run_structure(v.model, std::move(hkl), state.pi);
  state.cell = compute_cell_geometry(state.structure.param, state.pi);
  if (!(state.cell.cvol > 0.0f) || !std::isfinite(state.cell.cvol)) {
    frontend::Failure failure;
    failure.file = v.source();
    failure.answer = "the lattice parameters a b c alpha beta gamma";
    failure.reason = std::isfinite(state.cell.cvol)
                         ? "they close no cell (its volume is " + shortest_text(state.cell.cvol) + ")"
                         : "they close no cell (its volume is not a real number)";
    frontend::fail(std::move(failure));
  }
  state.umom = compute_moment_directions(state.structure.moments);
}

bool dispersion_supported() {
#ifdef VELMORA_POWDER_DISPERSION
  return true;
#else
  return false;
#endif
}

std::string set_xray_dispersion(VelmoraCrystal& crystal, DispersionModel model, double wavelength) {
  crystal.state->corrections.xray.clear();
  if (model == DispersionModel::none) return {};
#ifdef VELMORA_POWDER_DISPERSION
  XrayDispersion dispersion = xray_dispersion(crystal.structure(), wavelength);
  crystal.state->corrections.xray = std::move(dispersion.corrections.xray);
  return dispersion_text(dispersion, wavelength);
#else
  (void)wavelength;
  fail_powder(std::string(kDispersionOption) +
              " cromer-liberman: this velmora-powder was built without gemmi (Debian: gemmi-dev), whose"
              " Cromer-Liberman calculation gives f' and f''");
#endif
}

NeutronCorrections set_neutron_lengths(VelmoraCrystal& crystal, const IsotopeChoices& isotopes,
                                       double wavelength) {
  const std::string option(kIsotopeOption);
  if (const auto fault = isotope_choice_fault(crystal.model, isotopes, option)) fail_powder(*fault);
  NeutronCorrections lengths =
      neutron_corrections(crystal.model, crystal.state->tables, isotopes, wavelength, option);
  crystal.state->corrections.neutron = std::move(lengths.neutron);
  return lengths;
}

std::string answer_file_text(const std::string& path) {
  std::string text = frontend::read_input_file(path, "the answers", frontend::kMostInputBytes);
  check_line_form(path, text);
  return text;
}

void for_each_crystal_reflection(VelmoraCrystal& crystal, std::vector<Reflection> hkl,
                                 const std::function<void(const ReflectionValues&)>& take) {
  RunState& state = *crystal.state;
  state.structure.hkl = std::move(hkl);
  const CrystalMagnetism& magnetism = crystal.model.magnetism;
  const bool own_forms = magnetism.own_forms();
  const GivenMagneticForms given =
      own_forms ? GivenMagneticForms{}
                : tabulate_magnetic_forms(magnetism.forms, state.structure, state.cell, state.pi);
  const ReflectionLoop loop({state.tables, state.structure, state.cell, state.umom, state.pi, state.eg2mc,
                             own_forms ? nullptr : &given, state.corrections_given()});
  if (loop.missing_symbol())
    fail_missing_symbol(crystal.source(), state.tables, crystal.tables_folder, *loop.missing_symbol());
  for_each_reflection(loop, reflection_threads(), take);
  state.structure.hkl.clear();
  state.structure.hkl.shrink_to_fit();
}

std::vector<ReflectionValues> crystal_reflections(VelmoraCrystal& crystal,
                                                  const std::vector<Reflection>& hkl) {
  std::vector<ReflectionValues> values;
  values.reserve(hkl.size());
  for_each_crystal_reflection(crystal, hkl, [&values](const ReflectionValues& v) { values.push_back(v); });
  return values;
}

}  // namespace velmora::powder
