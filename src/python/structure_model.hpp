// What the Python module's Structure holds, and the ways one is made: from a
// CIF by velmora-cif's conversion, from an answer file by velmora's dialogue,
// or from values given in Python, each a crystal (model/crystal.hpp) whose
// run values and geometry velmora's own code computes, so that every value
// computed from it is the float velmora prints. Failures carry the programs'
// messages.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cif/reflection_table.hpp"
#include "dispersion/dispersion_model.hpp"
#include "errors/remarks.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "model/crystal.hpp"
#include "nuclear/neutron_corrections.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"
#include "run/run_state.hpp"
#include "scattering/atom_corrections.hpp"
#include "scattering/structure_factors.hpp"
#include "scattering/unique_reflections.hpp"

namespace velmora::python {

// A failure of the module's own making (the programs' failures keep their types).
struct ModelError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The model of the magnetic form factor as Python chooses it: the model, the
// Landé factors by element or site (answer label for answers and values), and
// for answers and values the ion of an answer label (Irx: Ir4, Wx: W0:6s1).
struct MagneticChoices {
  MagneticModel model = MagneticModel::j0;
  std::map<std::string, double> g;
  std::map<std::string, std::string> ions;
};

// What Python reads back (cell, atoms, operations, moments) is the crystal's.
struct StructureModel {
  Crystal crystal;                        // as read, with the magnetic form factors of its magnetic atoms
  std::shared_ptr<const RunState> state;  // its reflections: the answer file's, or none
  std::vector<cif::ModelEntry> model;     // what the structure was made from
  std::vector<frontend::Remark> remarks;  // its notes and warnings, in the order given
};

// The crystal's operations as a file writes them, ",-1" after one that
// reverses the moments (-y,x,z,-1).
std::vector<std::string> operation_triplets(const Crystal& crystal);

// The folders the module looks in for the tables, in order: the working
// directory, the data folder installed beside the module (share/velmora/data
// of its prefix) and, for the module of the build tree, the copy beside it.
std::vector<std::filesystem::path> module_table_folders();

// The tables folder: the one given, else the first of module_table_folders
// that holds the tables; when none does, the failure names them all.
std::string module_tables_folder(const std::string& given);

// ions as velmora-cif's --ion, by element or site label (choices.ions unused).
StructureModel model_from_cif(const std::string& path, const std::string& block,
                              const std::map<std::string, std::string>& ions, const std::string& tables,
                              const MagneticChoices& choices);

StructureModel model_from_answers(const std::string& path, const std::string& tables,
                                  const MagneticChoices& choices);

// The structure with another crystal of the same atoms and tables (a refined
// one), its run values made anew; refined_against names the measurement.
StructureModel model_with_crystal(const StructureModel& m, Crystal crystal,
                                  const std::string& refined_against);

// An atom as Python gives it; a magnetic atom has a moment (size in Bohr
// magnetons, angle to x and angle to z in degrees, as velmora's dialogue).
struct AtomValues {
  std::string type;
  std::array<double, 3> xyz{};
  double occ = 1.0;
  double biso = 0.0;
  std::optional<std::array<double, 3>> moment;
};

StructureModel model_from_values(const std::array<double, 6>& cell, const std::vector<AtomValues>& atoms,
                                 const std::vector<std::string>& symmetry, const std::string& tables,
                                 const MagneticChoices& choices);

// Every h k l but 0 0 0 with d >= dmin, both Friedel mates, by decreasing d.
std::vector<Reflection> reflections_to(const StructureModel& m, double dmin);

// velmora's values of the reflections, |Fm|^2 by the structure's magnetic form
// factors, on VELMORA_THREADS threads.
// With corrections, these added to the free-atom sums (X-ray dispersion).
std::vector<ReflectionValues> compute(const StructureModel& m, std::vector<Reflection> hkl,
                                      const AtomCorrections& corrections = {});

// One set of equivalents per row: the Laue group of the structure, or its
// point group when the corrections make F(h) and F(-h) differ (anomalous).
std::vector<EquivalentSet> equivalent_sets(const StructureModel& m, const std::vector<Reflection>& hkl,
                                           std::size_t* laue_order = nullptr,
                                           const AtomCorrections& corrections = {},
                                           bool* anomalous = nullptr);

// What the sums add to the structure's free-atom scattering: the X-ray
// dispersion at the wavelength (angstroms; none: no f', f''), and with neutron
// the lengths of the isotopes chosen and of the absorbing elements at the
// wavelength (without one, their b'' at 1.798 angstroms). An isotope that
// cannot be used throws std::invalid_argument (ValueError) naming it; warnings (absorbers whose b''
// matters) are added to remarks.
struct Corrections {
  DispersionModel dispersion = DispersionModel::none;
  IsotopeChoices isotopes;
  bool neutron = false;  // the neutron lengths are the companions', not velmora's table
};
AtomCorrections corrections_at(const StructureModel& m, const Corrections& c,
                               std::optional<double> wavelength,
                               std::vector<std::string>* warnings = nullptr);

// The peaks of every source line of the options, each with the corrections of
// its own wavelength, of the reflections hkl, times the sample's absorption.
std::vector<powder::PowderPeak> line_peaks(const StructureModel& m, const std::vector<Reflection>& hkl,
                                           const powder::PowderOptions& options, powder::Remarks& remarks,
                                           const powder::SampleAbsorption& absorption = {});

// The corrections the options give at their first line's wavelength, with
// which a refinement recomputes the structure factors.
AtomCorrections first_line_corrections(const StructureModel& m, const powder::PowderOptions& options);

// velmora-powder's computation for every reflection within reach of the
// shortest wavelength, or down to options.dmin: its peaks of every source line
// and its pattern on options.grid (else the default grid) with options.width,
// with its notes and warnings.
struct PowderRun {
  std::vector<powder::PowderPeak> peaks;
  powder::PowderPattern pattern;
  powder::SampleAbsorption absorption;  // what the peaks were multiplied by
  std::vector<frontend::Remark> remarks;
};
PowderRun compute_powder(const StructureModel& m, const powder::PowderOptions& options);

}  // namespace velmora::python
