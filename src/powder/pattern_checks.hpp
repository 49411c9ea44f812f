// The checks of the choices a powder pattern is computed with, on their typed
// values: the source lines, the 2-theta grid, the peak width and the X-ray
// polarisation. Each says why
// a value cannot be used, or nothing, and leaves naming the value to its caller
// (an option of velmora-powder, an argument of the Python module).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "powder/beam_polarisation.hpp"
#include "powder/peak_shape.hpp"
#include "powder/powder_profile.hpp"
#include "powder/radiation_source.hpp"

namespace velmora::powder {

// Why the lines make no source: none at all, a wavelength or ratio not above
// 0, or a wavelength outside the range single precision can follow.
std::optional<std::string> source_lines_fault(const std::vector<SourceLine>& lines);

// Why the grid holds no pattern: not within 0 to 180 degrees, too many
// points, or a step that single-precision 2-theta cannot resolve.
std::optional<std::string> grid_fault(const TwoThetaGrid& grid);

// Why a constant FWHM (degrees) makes no peak: beyond kNarrowestFwhm to kWidestFwhm.
std::optional<std::string> fwhm_fault(double fwhm);

// Why pseudo-Voigt parameters make no peak: a Lorentzian X or Y below 0.
std::optional<std::string> tch_fault(const TchParameters& tch);

// Why a polarised fraction is none: not from 0 to 1.
std::optional<std::string> polarisation_fault(const Polarisation& polarisation);

}  // namespace velmora::powder
