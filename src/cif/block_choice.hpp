// Which data block of a CIF is converted: the one named on the command line,
// or the first that lists atom sites. Tags are respelt first so that both
// spellings of a name (a dot or an underscore after the category) read alike.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <string>

#include "cif/conversion_error.hpp"

namespace velmora::cif {

// The named block (any case), or when block_name is empty the first block
// that lists atom sites, with a warning naming any other that does. Every
// block's tags have their dots made underscores.
gemmi::cif::Block& choose_block(gemmi::cif::Document& document, const std::string& block_name,
                                Warnings& warnings);

}  // namespace velmora::cif
