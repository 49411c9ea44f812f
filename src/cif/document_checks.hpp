// Checks of a parsed CIF that tell apart the items velmora reads from the
// rest: a fault in an item it reads (no value, given twice with another
// value, a mended character) ends the conversion; elsewhere it is passed
// over with one warning, as CIF readers of other programs pass it over.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <string>
#include <vector>

#include "cif/conversion_error.hpp"
#include "cif/text_repair.hpp"

namespace velmora::cif {

// Whether velmora reads the item of this tag (either spelling).
bool velmora_reads(std::string tag);

// Refuses or reports, as above, the text repairs, the items without a value
// (those it passes over are erased), the tags and block names given twice
// (the first is read).
void check_document(gemmi::cif::Document& document, const std::vector<TextRepair>& repairs,
                    Warnings& warnings);

}  // namespace velmora::cif
