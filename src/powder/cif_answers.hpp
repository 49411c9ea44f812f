// A CIF or magnetic CIF as velmora's answers, made in this program by
// velmora-cif's converter: the atoms of the whole cell and their moments. The
// reflections are left to velmora-powder, which lists what its range reaches.
#pragma once

#include <string>
#include <vector>

#include "powder/powder_error.hpp"

namespace velmora::powder {

// The answers, with no reflection. block and ions are velmora-cif's --block
// and --ion; the converter's warnings become warnings of the run. A build
// without gemmi ends the run saying so.
std::string cif_answers(const std::string& path, const std::string& block, const std::vector<std::string>& ions,
                        const std::string& tables_folder, Remarks& remarks);

}  // namespace velmora::powder
