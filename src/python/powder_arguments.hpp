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
  pybind11::object wavelength, source, two_theta, fwhm, caglioti, tch, dmin, instrument;
  pybind11::object dispersion = pybind11::none(), isotopes = pybind11::none();
  // a cylinder's absorption: mu R or "auto" with the packing fraction and the radius (mm)
  pybind11::object absorption = pybind11::none(), packing = pybind11::none(), radius = pybind11::none();
};

// How the module calls velmora-powder's --absorption, --packing, --radius, --radiation and --phase.
inline const powder::AbsorptionNames kAbsorptionArguments{"absorption", "packing", "radius", "radiation",
                                                          "phases"};

// The absorption the arguments ask for, as velmora-powder's options would
// give it for the radiation; mixture: further phases are fitted beside.
void check_absorption(const powder::PowderOptions& options, bool mixture);

// What the peaks were multiplied by, for a result: mu_r, and for auto mu (1/mm),
// packing, radius (mm); text, the CSV's model line.
pybind11::dict absorption_stated(const powder::SampleAbsorption& absorption);

// The options the pattern is computed with: lines, source, grid, width, dmin,
// the X-ray polarisation, the dispersion (on for X-rays: a tube's lines or an
// X-ray instrument, as velmora-powder) and the isotopes. An instrument file gives what the other
// arguments leave open, as velmora-powder's --instrument; remarks say what.
powder::PowderOptions powder_options_of(const PowderArguments& given, powder::Remarks& remarks);

}  // namespace velmora::python
