// A GSAS instrument parameter file (.prm, .ins, .inst) read into the values a
// pattern is computed with: the radiation, its lines, the zero shift, the
// X-ray polarisation and the peak widths of a constant-wavelength
// diffractometer, each converted from GSAS's units to velmora-powder's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "powder/beam_polarisation.hpp"
#include "powder/powder_profile.hpp"
#include "powder/radiation_source.hpp"

namespace velmora::powder {

// One profile set of the file (INS nPRCFk): GSAS's profile function, its
// terms as the file gives them (GSAS's order and units), and the widths they
// make in velmora's terms.
struct InstrumentProfile {
  int set = 0;                // k of PRCFk
  int type = 0;               // GSAS's constant-wavelength profile function 1, 2 or 3
  std::vector<double> terms;  // all of the function's terms, those the file leaves out 0
  PeakWidth width;            // type 1: Caglioti U V W; types 2 and 3: pseudo-Voigt U V W X Y
  // The asymmetry, kept for a profile that applies it; velmora-powder's
  // peaks are symmetric. Type 1 and 2: "asym" (Rietveld's, Howard's); type 3:
  // S/L and H/L (Finger, Cox & Jephcoat).
  double asymmetry = 0, s_over_l = 0, h_over_l = 0;
  // The terms that are not 0 but that velmora-powder's peaks do not apply, by
  // GSAS's names ("shft", "trns", "asym"), for a warning.
  std::vector<std::string> unapplied;
};

struct Instrument {
  std::string source;  // the file, as messages name it
  std::string htype;   // as the file has it, "PNCR"
  Radiation radiation = Radiation::neutron;
  std::vector<SourceLine> lines;             // lam1, and lam2 with KRATIO when lam2 is not 0
  double zero_shift = 0;                     // degrees: 2theta_obs = 2theta_calc + zero_shift
  Polarisation polarisation;                 // X-rays; a neutron file leaves it unpolarised
  std::optional<InstrumentProfile> profile;  // the first profile set, when the file has one
};

// Reads the file; ends the run naming the file and line of the first line it
// cannot take: one of no known kind, a field that is no number, a bank other
// than the first, time-of-flight or energy-dispersive data, a profile
// function other than 1, 2 and 3, terms missing or too many.
Instrument read_instrument_file(const std::string& path);

// Parses text already read (name: as messages name the file).
Instrument parse_instrument_file(const std::string& text, const std::string& name);

}  // namespace velmora::powder
