// The reflections of a crystal, computed by velmora's own code: its table
// loader, its dialogue reader for an answer file (prompts held in memory and
// dropped), its cell and moment geometry and its reflection loop. Every value
// is the single-precision value velmora prints.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dispersion/dispersion_model.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "model/crystal.hpp"
#include "nuclear/neutron_corrections.hpp"
#include "powder/powder_error.hpp"
#include "powder/powder_options.hpp"
#include "run/run_state.hpp"
#include "scattering/structure_factors.hpp"

namespace velmora::powder {

// A crystal with velmora's run values, computed by velmora's own code: its
// tables loaded, the crystal's values rounded once (run/run_structure.hpp),
// its cell and moment geometry; the reflections of an answer file kept.
struct VelmoraCrystal {
  Crystal model;  // as read, with the magnetic form factors of its magnetic atoms
  std::unique_ptr<RunState> state;
  std::string tables_folder;
  const Structure& structure() const { return state->structure; }
  const std::string& source() const { return model.source; }  // as messages name it
};

// velmora's tables of the folder, loaded as velmora loads them; a table it
// cannot use ends the run naming the table.
VelmoraCrystal velmora_tables(const std::string& tables_folder);

// The crystal of an answer text, read by velmora's dialogue, and the
// answers' own reflections to hkl; a wrong answer ends the run naming the
// file and the line.
Crystal read_answer_crystal(std::string answers, const std::string& source, std::vector<Reflection>& hkl);

// An answer file's occupancies from 0 to 1 (a little above 1 warned of) and
// its displacements not below 0 (warned of), as velmora-cif checks a CIF's.
void check_answer_values(const Crystal& crystal, Remarks& remarks);

// The crystal's run values, with the reflections given as its own, and its
// geometry; a cell of no volume ends the run. The magnetic form factors are
// velmora's own until set.
void set_crystal(VelmoraCrystal& v, Crystal crystal, std::vector<Reflection> hkl = {});

// Each magnetic atom's form factor by the options' model (see
// magnetic/magnetic_form_model.hpp), for the labels of an answer file; the
// model's warnings become remarks.
void choose_magnetic_forms(VelmoraCrystal& crystal, const PowderOptions& options, Remarks& remarks);

// A warning for each atom type of an answer file whose X-ray and neutron rows
// come after velmora's own: velmora itself cannot run those answers.
void note_rows_beyond_velmora(const VelmoraCrystal& crystal, Remarks& remarks);

// The text of the answer file at path; an unreadable one, or one velmora would
// misread (a byte-order mark, lines ended by CR alone), ends the run.
std::string answer_file_text(const std::string& path);

// Whether this program computes f' and f'' (built with gemmi's Cromer-Liberman).
bool dispersion_supported();

// The X-ray dispersion of the crystal's atoms at the wavelength (angstroms)
// for the values computed next, and its words for the model line; none: the
// free atoms' f0, velmora's own |FX|^2, and no words.
std::string set_xray_dispersion(VelmoraCrystal& crystal, DispersionModel model, double wavelength);

// The neutron lengths of the crystal's atoms at the wavelength for the values
// computed next: the isotopes chosen, the absorbing elements' b''; their words
// and warnings. A choice that cannot be used ends the run naming it.
NeutronCorrections set_neutron_lengths(VelmoraCrystal& crystal, const IsotopeChoices& isotopes,
                                       double wavelength);

// The values of the reflections hkl, in their order; a symbol no table has
// ends the run naming it.
std::vector<ReflectionValues> crystal_reflections(VelmoraCrystal& crystal,
                                                  const std::vector<Reflection>& hkl);

// The same, each value handed to take in order and not kept: a list of
// millions needs no room for their values. The crystal's own list is
// replaced by hkl while the loop runs and emptied after it.
void for_each_crystal_reflection(VelmoraCrystal& crystal, std::vector<Reflection> hkl,
                                 const std::function<void(const ReflectionValues&)>& take);

}  // namespace velmora::powder
