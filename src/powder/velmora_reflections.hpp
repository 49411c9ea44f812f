// The reflections of a velmora answer file, computed by velmora's own code:
// its table loader, its dialogue reader (prompts held in memory and dropped),
// its cell and moment geometry and its reflection loop. Every value is the
// single-precision value velmora prints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/run_state.hpp"
#include "scattering/structure_factors.hpp"

namespace velmora::powder {

// The crystal of an answer text, read by velmora's dialogue with the tables
// loaded: its cell, atoms, moments and own list of reflections.
struct VelmoraCrystal {
  std::unique_ptr<RunState> state;
  std::string source;  // the answer file (or the CIF they were made from), as messages name it
  std::string tables_folder;
  const Structure& structure() const { return state->structure; }
};

// Anything velmora would refuse (a wrong answer, a table it cannot read) ends
// the run naming the file and the line or the table.
VelmoraCrystal read_velmora_crystal(const std::string& answers, const std::string& source,
                                    const std::string& tables_folder);

// The text of the answer file at path; an unreadable one ends the run.
std::string answer_file_text(const std::string& path);

// The values of the reflections hkl, in their order; a symbol no table has
// ends the run naming it.
std::vector<ReflectionValues> crystal_reflections(VelmoraCrystal& crystal, const std::vector<Reflection>& hkl);

}  // namespace velmora::powder
