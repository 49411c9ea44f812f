// The arguments of Structure.powder as velmora-powder's typed options: the
// source lines, the 2-theta grid, the peak width, the smallest d-spacing and
// an instrument file, each checked by velmora-powder's own checks and refused
// naming the argument.
#pragma once

#include <pybind11/pybind11.h>

#include "powder/powder_options.hpp"

namespace velmora::python {

// As Python gives them; None where not given.
struct PowderArguments {
  pybind11::object wavelength, source, two_theta, fwhm, caglioti, tch, dmin, instrument, dispersion, isotopes;
};

// The options the pattern is computed with: lines, source, grid, width, dmin,
// the X-ray polarisation, the dispersion (on for X-rays: a tube's lines or an
// X-ray instrument, as velmora-powder) and the isotopes. An instrument file gives what the other
// arguments leave open, as velmora-powder's --instrument; remarks say what.
powder::PowderOptions powder_options_of(const PowderArguments& given, powder::Remarks& remarks);

}  // namespace velmora::python
