// The standard uncertainties and correlations of a refinement's result, as
// crystallographic programs report them: the inverse of the undamped normal
// matrix at the result, scaled by the reduced chi2 (E. Prince, "Mathematical
// Techniques in Crystallography and Materials Science", 2nd ed., Springer 1994).
#pragma once

#include "refine/least_squares.hpp"
#include "refine/normal_equations.hpp"
#include "refine/parameter_map.hpp"

namespace velmora::refine {

// Fills esd, correlation, refined_indices and high_correlations of result, whose
// parameters and reduced_chi2 are set; a tied parameter's esd is propagated through
// its coefficients with the full covariance of the refined ones.
void fill_uncertainties(Result& result, const NormalEquations& normal, const ParameterMap& map);

}  // namespace velmora::refine
