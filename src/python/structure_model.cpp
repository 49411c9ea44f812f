// The three ways to a structure share one ending: a crystal whose run values
// are rounded once (run/run_structure.hpp), as velmora's reader rounds a
// typed answer, with the tables read by velmora's own reader.
#include "python/structure_model.hpp"

#include <dlfcn.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "cif/conversion.hpp"
#include "cif/reflection_list.hpp"
#include "cif/table_report.hpp"
#include "dispersion/xray_dispersion.hpp"
#include "magnetic/tabulated_forms.hpp"
#include "model/atom_names.hpp"
#include "nuclear/neutron_corrections.hpp"
#include "numbers/shortest_text.hpp"
#include "powder/powder_options.hpp"
#include "powder/velmora_reflections.hpp"
#include "python/powder_arguments.hpp"
#include "run/run_values.hpp"
#include "scattering/reflection_threads.hpp"
#include "tables/table_folder.hpp"

namespace velmora::python {
namespace {

std::string float_entry(const std::vector<double>& values) {
  std::string out = "[";
  for (double v : values) out += (out.size() == 1 ? "" : ", ") + shortest_text(static_cast<float>(v));
  return out + "]";
}

// The module's own file, or an empty path when the system does not say.
std::filesystem::path module_file() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&module_tables_folder), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return std::filesystem::path(info.dli_fname);
}

// True when the module is the one built in its build folder, whose copy of
// the tables lies beside it; an installed module never reads that folder.
bool in_build_folder(const std::filesystem::path& module) {
  std::error_code error_module, error_build;
  const auto folder = std::filesystem::weakly_canonical(module.parent_path(), error_module);
  const auto build = std::filesystem::weakly_canonical(VELMORA_MODULE_BUILD_FOLDER, error_build);
  return !error_module && !error_build && folder == build;
}

// Every atom type has its rows: the X-ray and neutron tables', and for a
// magnetic atom without a form of the companions' model velmora's <j0> row.
void check_symbols(const StructureModel& m, const std::string& folder, const std::string& source) {
  if (const auto missing = missing_symbol_with_forms(*m.state, m.crystal.magnetism.forms))
    throw ModelError(source + ": atom type \"" + std::string(text_of(*missing)) +
                     "\" has no row in the tables of " + folder + " (see data/README.md for the labels)");
}

// The forms of the magnetic atoms of a crystal known by its table labels, as
// velmora-powder chooses them (--ion LABEL=ION, --g, --magnetic-model), with
// its messages; its notes and warnings to out.
void choose_label_forms(powder::VelmoraCrystal& crystal, const MagneticChoices& choices,
                        std::vector<frontend::Remark>& out) {
  powder::PowderOptions options;
  options.model = choices.model;
  options.g = choices.g;
  options.ions = choices.ions;
  powder::Remarks remarks;
  powder::note_rows_beyond_velmora(crystal, remarks);
  powder::choose_magnetic_forms(crystal, options, remarks);
  out.insert(out.end(), remarks.items.begin(), remarks.items.end());
}

void add_warnings(StructureModel& m, const std::vector<std::string>& texts) {
  for (const std::string& text : texts) m.remarks.push_back({frontend::Remark::Kind::warning, text});
}

// The crystal and its run values, taken from velmora-powder's reading.
void take_crystal(StructureModel& m, powder::VelmoraCrystal& crystal) {
  m.crystal = std::move(crystal.model);
  m.state = std::move(crystal.state);
}

std::vector<cif::ModelEntry> magnetic_entries(MagneticModel model, const CrystalMagnetism& used) {
  return {{"magnetic_model", std::string(magnetic_model_name(model))},
          {"magnetic_form_factor", cif::magnetic_form_text(used.model_line)}};
}

// A value the answers hold in single precision: finite there too.
void check_finite(double v, const std::string& what) {
  if (!std::isfinite(v)) throw ModelError(what + ": " + shortest_text(v) + " is no finite number");
  if (!std::isfinite(static_cast<float>(v)))
    throw ModelError(what + ": " + shortest_text(v) + " is beyond single precision");
}

// A type goes into the answers as one field: no blank, separator or control character.
void check_type(const std::string& type, std::size_t atom) {
  bool fine = !type.empty();
  for (char c : type)
    fine = fine && static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7f && c != ',' &&
           c != '/' && c != '*';
  if (!fine)
    throw ModelError("atom " + std::to_string(atom + 1) + ": type \"" + type +
                     "\" must be a table label such as Fe2 or Oxx (no blank, comma, / or *)");
}

}  // namespace

std::vector<std::filesystem::path> module_table_folders() {
  std::vector<std::filesystem::path> folders{std::filesystem::current_path()};
  const std::filesystem::path module = module_file();
  if (module.empty()) return folders;
  folders.push_back((module.parent_path() / VELMORA_DATA_FROM_MODULE).lexically_normal());
  if (in_build_folder(module)) folders.push_back(module.parent_path() / "data");
  return folders;
}

std::string module_tables_folder(const std::string& given) {
  if (!given.empty()) return given;
  const std::vector<std::filesystem::path> folders = module_table_folders();
  for (const std::filesystem::path& folder : folders)
    if (holds_tables(folder)) return folder.string();
  std::string why = "velmora's tables are in none of";
  for (const std::filesystem::path& folder : folders) why += " " + folder.string();
  why += " (name their folder with tables=)";
  throw ModelError(why);
}

StructureModel model_from_cif(const std::string& path, const std::string& block,
                              const std::map<std::string, std::string>& ions, const std::string& tables,
                              const MagneticChoices& choices) {
  cif::CrystalChoices cif_choices;
  cif_choices.block = block;
  cif_choices.tables = module_tables_folder(tables);
  for (const auto& [name, label] : ions) cif_choices.ions[name] = label;
  cif_choices.model = choices.model;
  cif_choices.g = choices.g;
  cif::Warnings warnings;
  cif::CifCrystal cif = cif::read_cif_crystal(path, cif_choices, warnings);
  StructureModel m;
  m.state = prepare_run(cif.scattering, cif.crystal);
  m.crystal = std::move(cif.crystal);
  check_symbols(m, cif.tables_folder, path);
  for (std::string& warning : unmatched_name_warnings(m.crystal, "ions", ions, "g", choices.g))
    warnings.add(warning);
  const CellParameters& c = m.crystal.cell;
  add_warnings(m, warnings.lines());
  m.model = {{"source", path},
             {"block", cif.block},
             {"tables", cif.tables_folder},
             {"cell", float_entry({c[0], c[1], c[2], c[3], c[4], c[5]}), false},
             {"labels", cif::site_labels(m.crystal)}};
  for (cif::ModelEntry& e : magnetic_entries(choices.model, m.crystal.magnetism))
    m.model.push_back(std::move(e));
  return m;
}

StructureModel model_from_answers(const std::string& path, const std::string& tables,
                                  const MagneticChoices& choices) {
  const std::string folder = module_tables_folder(tables);
  StructureModel m;
  powder::VelmoraCrystal crystal = powder::velmora_tables(folder);
  std::vector<Reflection> own;
  Crystal read = powder::read_answer_crystal(powder::answer_file_text(path), path, own);
  powder::Remarks checked;
  powder::check_answer_values(read, checked);
  m.remarks.insert(m.remarks.end(), checked.items.begin(), checked.items.end());
  powder::set_crystal(crystal, std::move(read));
  choose_label_forms(crystal, choices, m.remarks);
  // A type no table serves fails as in velmora-powder; the file's own reflections stay.
  powder::crystal_reflections(crystal, {});
  crystal.state->structure.hkl = std::move(own);
  take_crystal(m, crystal);
  add_warnings(m, unmatched_name_warnings(m.crystal, "ions", choices.ions, "g", choices.g));
  m.model = {{"source", path}, {"tables", folder}};
  for (cif::ModelEntry& e : magnetic_entries(choices.model, m.crystal.magnetism))
    m.model.push_back(std::move(e));
  return m;
}

StructureModel model_with_crystal(const StructureModel& m, Crystal crystal,
                                  const std::string& refined_against) {
  powder::VelmoraCrystal v;
  v.state = std::make_unique<RunState>(*m.state);
  powder::set_crystal(v, std::move(crystal), m.state->structure.hkl);
  StructureModel refined;
  take_crystal(refined, v);
  refined.model = m.model;
  refined.model.push_back({"refined_against", refined_against});
  return refined;
}

namespace {

// An occupancy a little above 1 is a rounded full site; beyond it no
// occupancy at all (velmora-cif's bound).
constexpr double kMostOccupancy = 1.05;

// A cell as velmora-cif takes one: lengths above 0, angles between 0 and 180
// that close a cell.
void check_cell(const std::array<double, 6>& cell) {
  static const char* const names[6] = {"a", "b", "c", "alpha", "beta", "gamma"};
  for (int i = 0; i < 6; ++i) {
    check_finite(cell[i], "cell");
    const bool good = i < 3 ? cell[i] > 0 : cell[i] > 0 && cell[i] < 180;
    if (!good)
      throw ModelError(std::string("cell: ") + names[i] + " " + shortest_text(cell[i]) +
                       (i < 3 ? " is not a length above 0" : " is not an angle between 0 and 180"));
  }
  constexpr double kDegree = std::numbers::pi / 180;
  const double ca = std::cos(cell[3] * kDegree), cb = std::cos(cell[4] * kDegree);
  const double cg = std::cos(cell[5] * kDegree);
  if (1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg <= 0)
    throw ModelError("cell: the angles " + shortest_text(cell[3]) + " " + shortest_text(cell[4]) + " " +
                     shortest_text(cell[5]) + " make no cell");
}

// The crystal of values given in Python: every atom its own site, as in an
// answer file, each value checked to be a finite number of single precision,
// an occupancy from 0 to 1 and a displacement not below 0 (warned of), as
// velmora-cif checks a file's.
Crystal crystal_of_values(const std::array<double, 6>& cell, const std::vector<AtomValues>& atoms,
                          std::vector<std::string>& warnings) {
  Crystal crystal;
  crystal.source = "Structure";
  check_cell(cell);
  crystal.cell = cell;
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    const AtomValues& a = atoms[i];
    check_type(a.type, i);
    const std::string what = "atom " + std::to_string(i + 1) + " (" + a.type + ")";
    for (double v : {a.xyz[0], a.xyz[1], a.xyz[2], a.occ, a.biso}) check_finite(v, what);
    if (a.occ < 0 || a.occ > kMostOccupancy)
      throw ModelError(what + ": occupancy " + shortest_text(a.occ) +
                       ": an occupancy is the fraction of the site held, from 0 to 1");
    if (a.occ > 1)
      warnings.push_back(what +
                         ": an occupancy above 1 (a rounded or refined full site?) is used as it stands");
    if (a.biso < 0)
      warnings.push_back(what +
                         ": a negative displacement parameter is unphysical (its peaks grow with angle);"
                         " it is used as it stands");
    CrystalSite site;
    site.atype = symbol_of(a.type);
    site.xyz = a.xyz;
    site.occ = a.occ;
    site.biso = a.biso;
    site.magnetic = a.moment.has_value();
    CrystalAtom atom{i, a.xyz, {}};
    if (a.moment) {
      for (double v : *a.moment) check_finite(v, what + " moment");
      atom.moment = {(*a.moment)[0], (*a.moment)[1], (*a.moment)[2]};
    }
    crystal.sites.push_back(std::move(site));
    crystal.atoms.push_back(atom);
  }
  return crystal;
}

}  // namespace

StructureModel model_from_values(const std::array<double, 6>& cell, const std::vector<AtomValues>& atoms,
                                 const std::vector<std::string>& symmetry, const std::string& tables,
                                 const MagneticChoices& choices) {
  std::vector<std::string> value_warnings;
  Crystal read = crystal_of_values(cell, atoms, value_warnings);
  const std::string folder = module_tables_folder(tables);
  StructureModel m;
  add_warnings(m, value_warnings);
  powder::VelmoraCrystal crystal = powder::velmora_tables(folder);
  powder::set_crystal(crystal, std::move(read));
  choose_label_forms(crystal, choices, m.remarks);
  take_crystal(m, crystal);
  add_warnings(m, unmatched_name_warnings(m.crystal, "ions", choices.ions, "g", choices.g));
  check_symbols(m, folder, "Structure");
  cif::Warnings warnings;
  std::vector<SymmetryOperation> ops;
  for (std::size_t i = 0; i < symmetry.size(); ++i) {
    bool starless = false;  // 2x-y read as 2*x-y, as in a CIF
    ops.push_back(cif::parse_operation(
        symmetry[i], false, "symmetry operation " + std::to_string(i + 1) + " \"" + symmetry[i] + "\"",
        starless));
  }
  if (!ops.empty()) ops = cif::checked_group(ops, "symmetry", warnings);
  m.crystal.operations = std::move(ops);
  add_warnings(m, warnings.lines());
  m.model = {{"source", "Python values"}, {"tables", folder}};
  for (cif::ModelEntry& e : magnetic_entries(choices.model, m.crystal.magnetism))
    m.model.push_back(std::move(e));
  return m;
}

std::vector<std::string> operation_triplets(const Crystal& crystal) {
  std::vector<std::string> out;
  for (const SymmetryOperation& op : crystal.operations)
    out.push_back(op.op.triplet() + (op.time_reversal < 0 ? ",-1" : ""));
  return out;
}

std::vector<Reflection> reflections_to(const StructureModel& m, double dmin) {
  const CellParameters& c = m.crystal.cell;
  const gemmi::UnitCell cell(c[0], c[1], c[2], c[3], c[4], c[5]);
  std::vector<Reflection> out;
  // As velmora-cif writes them: a zero is 0, never -0.
  for (const cif::Hkl& h : cif::reflections_to_dmin(cell, dmin))
    out.push_back(
        {static_cast<float>(h[0]) + 0.0f, static_cast<float>(h[1]) + 0.0f, static_cast<float>(h[2]) + 0.0f});
  return out;
}

std::vector<ReflectionValues> compute(const StructureModel& m, std::vector<Reflection> hkl,
                                      const AtomCorrections& corrections) {
  RunState state = *m.state;
  state.structure.hkl = std::move(hkl);
  state.corrections = corrections;
  if (m.crystal.magnetism.own_forms()) return compute_reflections(state, reflection_threads());
  return compute_reflections_with_forms(state, m.crystal.magnetism.forms, reflection_threads());
}

std::vector<EquivalentSet> equivalent_sets(const StructureModel& m, const std::vector<Reflection>& hkl,
                                           std::size_t* laue_order, const AtomCorrections& corrections,
                                           bool* anomalous) {
  const RunState& s = *m.state;
  std::vector<SpaceOperation> operations;
  for (const SymmetryOperation& op : m.crystal.operations) operations.push_back(cif::space_operation(op));
  const MergingGroup group = merging_group(s.structure, s.cell, s.umom, operations, &corrections);
  if (laue_order != nullptr) *laue_order = group.rotations.size();
  if (anomalous != nullptr) *anomalous = group.anomalous;
  return unique_reflections(hkl, group.rotations);
}

AtomCorrections corrections_at(const StructureModel& m, const Corrections& c,
                               std::optional<double> wavelength, std::vector<std::string>* warnings) {
  AtomCorrections out;
  if (c.dispersion != DispersionModel::none && wavelength)
    out = xray_dispersion(m.state->structure, *wavelength).corrections;
  if (c.neutron) {
    const std::string option = "isotopes";
    if (const auto fault = isotope_choice_fault(m.crystal, c.isotopes, option))
      throw std::invalid_argument(*fault);
    NeutronCorrections lengths =
        neutron_corrections(m.crystal, m.state->tables, c.isotopes, wavelength, option);
    out.neutron = std::move(lengths.neutron);
    if (warnings != nullptr) *warnings = std::move(lengths.warnings);
  }
  return out;
}

namespace {

// The corrections of the options: f' and f'' by their dispersion, and for
// neutrons the isotopes' and absorbers' lengths, as velmora-powder takes them.
Corrections powder_corrections(const powder::PowderOptions& o) {
  return {o.dispersion, o.isotopes, o.radiation != powder::Radiation::xray};
}

}  // namespace

std::vector<powder::PowderPeak> line_peaks(const StructureModel& m, const std::vector<Reflection>& hkl,
                                           const powder::PowderOptions& o, powder::Remarks& remarks,
                                           const powder::SampleAbsorption& absorption) {
  const Corrections c = powder_corrections(o);
  std::vector<std::string> warnings;
  if (corrections_at(m, c, o.lines.front().wavelength, &warnings).empty())
    return powder::source_peaks(compute(m, hkl), o.lines, remarks, o.polarisation, absorption);
  for (const std::string& warning : warnings) remarks.warn(warning);
  // Each line's peaks with the corrections at its own wavelength.
  powder::PeakCollector collector(o.lines, nullptr, o.polarisation, absorption);
  for (std::size_t i = 0; i < o.lines.size(); ++i)
    for (const ReflectionValues& v : compute(m, hkl, corrections_at(m, c, o.lines[i].wavelength)))
      collector.add(v, i);
  return collector.finish(remarks);
}

AtomCorrections first_line_corrections(const StructureModel& m, const powder::PowderOptions& o) {
  return corrections_at(m, powder_corrections(o), o.lines.front().wavelength);
}

PowderRun compute_powder(const StructureModel& m, const powder::PowderOptions& o) {
  PowderRun run;
  powder::Remarks remarks;
  const double dmin = o.dmin ? *o.dmin : powder::shortest_wavelength(o.lines) / 2;
  run.absorption = powder::sample_absorption(o.absorption, m.crystal, o.radiation, o.lines.front().wavelength,
                                             o.isotopes, kAbsorptionArguments);
  run.peaks = line_peaks(m, reflections_to(m, dmin), o, remarks, run.absorption);
  const powder::TwoThetaGrid grid = o.grid ? *o.grid : powder::default_grid(run.peaks, o.width);
  run.pattern = powder::powder_pattern(run.peaks, grid, o.width, remarks);
  run.remarks = std::move(remarks.items);
  return run;
}

}  // namespace velmora::python
