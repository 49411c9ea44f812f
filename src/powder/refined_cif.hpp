// The refined structure as a CIF that velmora-cif and velmora-powder read
// back: the cell, the symmetry operations and the atom sites at their refined
// values with standard uncertainties in parentheses (0.18749(12)), and the
// agreement factors of the powder refinement (the CIF dictionary's pd_proc_ls
// and refine_ls items).
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "powder/powder_files.hpp"
#include "rietveld/pattern_refinement.hpp"

namespace velmora::powder {

// start: the first phase as read; its refined structure, when refined, is the refinement's.
// xray: the f' + i f'' of each atom the refinement computed with (in atom order;
// empty: f0 alone), written as each atom type's _atom_type_scat_dispersion_real
// and _imag with dispersion_source as its _atom_type_scat_dispersion_source.
TextFill refined_cif(const Crystal& start, const rietveld::PatternRefinement& r, const std::string& observed,
                     const std::vector<std::complex<double>>& xray = {},
                     const std::string& dispersion_source = "");

}  // namespace velmora::powder
