// The reflections of a velmora answer file, computed by velmora's own code:
// its table loader, its dialogue reader (prompts held in memory and dropped),
// its cell and moment geometry and its reflection loop. Every value is the
// single-precision value velmora prints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/run_state.hpp"
#include "powder/powder_error.hpp"
#include "powder/powder_options.hpp"
#include "scattering/structure_factors.hpp"

namespace velmora::powder {

// velmora's state once the answers are read: tables, structure (with the
// answers' reflections), cell geometry and moment directions. Fails as
// velmora_reflections does, also on a symbol that no table has.
std::unique_ptr<RunState> velmora_structure(const std::string& answers_path, const std::string& tables_folder);

// Every reflection of the answers, in their order. Anything velmora would
// refuse (an unreadable file, a wrong answer, a symbol no table has) ends the
// run naming the file and the line or the symbol.
// Magnetic atoms take their form factors by the options' model (see
// magnetic/magnetic_form_model.hpp); model_line then says which model gave
// |Fm|^2, or stays empty when velmora's own table gave every one.
std::vector<ReflectionValues> velmora_reflections(const std::string& answers_path,
                                                  const std::string& tables_folder,
                                                  const PowderOptions& options, Remarks& remarks,
                                                  std::string& model_line);

}  // namespace velmora::powder
