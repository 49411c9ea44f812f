// What a fit of a measured pattern is computed with when its caller leaves it
// open: a peak width from the radiation, and neutrons for a bare wavelength,
// each said, in the words of the front end that asked.
#pragma once

#include <string>

#include "powder/powder_options.hpp"

namespace velmora::powder {

// How a front end names its choices in these messages.
struct FitChoiceNames {
  std::string widths;      // "--fwhm, --caglioti, --tch or --instrument"
  std::string wavelength;  // "--wavelength"
  std::string xray;        // "--radiation xray (or --source ANODE)"
};

// Sets the width when none was given (kLaboratoryXrayFwhm or kNeutronFwhm)
// with a note, and warns when a bare wavelength leaves the fit to neutrons.
void settle_fit_choices(PowderOptions& options, bool radiation_given, bool width_given,
                        const FitChoiceNames& names, Remarks& remarks);

}  // namespace velmora::powder
