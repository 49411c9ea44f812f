// An instrument file's values beside the choices a run is given explicitly.
// The explicit choice wins, with a note naming both: the file holds an
// instrument's calibration, the command line what this run changes (a refined
// wavelength, a sample's broader peaks), which then needs no edited copy.
#pragma once

#include <string>
#include <vector>

#include "powder/instrument_file.hpp"
#include "powder/powder_error.hpp"

namespace velmora::powder {

// What gave each choice, as a note names it ("--wavelength 1.912"); empty:
// not given, the instrument's value is taken.
struct ExplicitChoices {
  std::string lines, width, polarisation;
};

// Fills lines, width and polarisation from the instrument where given leaves
// them open; notes what was taken and what replaced the file's values, and
// warns of profile terms the peaks do not apply.
void take_instrument(const Instrument& instrument, const ExplicitChoices& given,
                     std::vector<SourceLine>& lines, PeakWidth& width, Polarisation& polarisation,
                     Remarks& remarks);

}  // namespace velmora::powder
