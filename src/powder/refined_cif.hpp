// The refined structure as a CIF that velmora-cif and velmora-powder read
// back: the cell, the symmetry operations and the atom sites at their refined
// values with standard uncertainties in parentheses (0.18749(12)), and the
// agreement factors of the powder refinement (the CIF dictionary's pd_proc_ls
// and refine_ls items).
#pragma once

#include <string>

#include "model/crystal.hpp"
#include "powder/powder_files.hpp"
#include "rietveld/pattern_refinement.hpp"

namespace velmora::powder {

// start: the first phase as read; its refined structure, when refined, is the refinement's.
TextFill refined_cif(const Crystal& start, const rietveld::PatternRefinement& r, const std::string& observed);

}  // namespace velmora::powder
