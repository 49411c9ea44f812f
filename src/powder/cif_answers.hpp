// A CIF or magnetic CIF as velmora's answers, made in this program by
// velmora-cif's converter: the atoms of the whole cell and their moments. The
// reflections are left to velmora-powder, which lists what its range reaches.
#pragma once

#include <string>

#include "powder/powder_options.hpp"
#include "powder/velmora_reflections.hpp"

namespace velmora::powder {

// The answers of the options' CIF, with no reflection, and the magnetic atoms'
// form factors to magnetism. --block, --ion, --magnetic-model and --g mean what
// they mean to velmora-cif; the converter's warnings become warnings of the
// run. A build without gemmi ends the run saying so.
std::string cif_answers(const PowderOptions& options, const std::string& tables_folder, Remarks& remarks,
                        CrystalMagnetism& magnetism);

}  // namespace velmora::powder
