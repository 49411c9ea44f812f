// The arguments of Structure.powder as velmora-powder's typed options: the
// source lines, the 2-theta grid, the peak width and the smallest d-spacing,
// each checked by velmora-powder's own checks and refused naming the argument.
#pragma once

#include <pybind11/pybind11.h>

#include "powder/powder_options.hpp"

namespace velmora::python {

// As Python gives them; None where not given.
struct PowderArguments {
  pybind11::object wavelength, source, two_theta, fwhm, caglioti, tch, dmin;
};

// The options the pattern is computed with: lines, source, grid, width and dmin.
powder::PowderOptions powder_options_of(const PowderArguments& given);

}  // namespace velmora::python
