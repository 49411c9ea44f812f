// A CIF or magnetic CIF as a crystal, made in this program by velmora-cif's
// converter: the atoms of the whole cell, their moments and their magnetic
// form factors. The reflections are left to velmora-powder, which lists what
// its range reaches.
#pragma once

#include <string>

#include "model/crystal.hpp"
#include "powder/powder_error.hpp"
#include "powder/powder_options.hpp"

namespace velmora::powder {

// The crystal of the options' CIF. --block, --ion, --magnetic-model and --g
// mean what they mean to velmora-cif, whose choices they are; the
// converter's warnings become warnings of the run. A build without gemmi
// ends the run saying so.
Crystal cif_crystal(const PowderOptions& options, const std::string& tables_folder, Remarks& remarks);

}  // namespace velmora::powder
