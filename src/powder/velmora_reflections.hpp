// The reflections of a velmora answer file, computed by velmora's own code:
// its table loader, its dialogue reader (prompts held in memory and dropped),
// its cell and moment geometry and its reflection loop. Every value is the
// single-precision value velmora prints.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run_state.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "powder/powder_error.hpp"
#include "powder/powder_options.hpp"
#include "scattering/structure_factors.hpp"

namespace velmora::powder {

// The magnetic atoms' form factors by the companions' model.
struct CrystalMagnetism {
  std::unique_ptr<MagneticFormChooser> chooser;  // holds the ion table the forms point into
  std::vector<MagneticForm> forms;               // one per magnetic atom, in input order
  std::string model_line;  // which model gave |Fm|^2; empty when velmora's own table gave every one
};

// The crystal of an answer text, read by velmora's dialogue with the tables
// loaded: its cell, atoms, moments and own list of reflections.
struct VelmoraCrystal {
  std::unique_ptr<RunState> state;
  std::string source;  // the answer file (or the CIF they were made from), as messages name it
  std::string tables_folder;
  CrystalMagnetism magnetism;
  const Structure& structure() const { return state->structure; }
};

// Anything velmora would refuse (a wrong answer, a table it cannot read, a
// cell of no volume) ends the run naming the file and the line or the table.
// The magnetic form factors are velmora's own until set.
VelmoraCrystal read_velmora_crystal(std::string answers, const std::string& source,
                                    const std::string& tables_folder);

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

// The values of the reflections hkl, in their order; a symbol no table has
// ends the run naming it.
std::vector<ReflectionValues> crystal_reflections(VelmoraCrystal& crystal, const std::vector<Reflection>& hkl);

// The same, each value handed to take in order and not kept: a list of
// millions needs no room for their values. The crystal's own list is
// replaced by hkl while the loop runs and emptied after it.
void for_each_crystal_reflection(VelmoraCrystal& crystal, std::vector<Reflection> hkl,
                                 const std::function<void(const ReflectionValues&)>& take);

}  // namespace velmora::powder
