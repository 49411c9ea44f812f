// A measured powder pattern: 2-theta in degrees, the intensities and their
// standard uncertainties, as read from a column text file (.xy, .xye, .dat,
// CSV), a GSAS raw file, a Bruker RAW file, a PANalytical .xrdml file or a
// FullProf .dat file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "powder/powder_error.hpp"

namespace velmora::powder {

struct ObservedPattern {
  std::string source;  // the file, as messages name it
  std::vector<double> two_theta, intensity, sigma;
  bool sigma_given = false;  // the file's sigma; else the intensities are counts, sigma = sqrt(max(I, 1)),
                             // the fit's first weights
};

// A measurement beyond this many points is no powder pattern anyone records;
// the limit keeps a wrong file from exhausting memory.
inline constexpr std::size_t kMostObservedPoints = 10'000'000;

// Reads the file in the format its content shows, whatever its name's
// extension: a Bruker RAW file by its first bytes, an .xrdml file by its
// XML root xrdMeasurements, a GSAS raw file by its BANK line, a FullProf file
// by its line of start, step and end; anything else as columns. Points of
// sigma 0 are left out with a warning in remarks; ends the run naming the
// file and the place of the first thing that cannot be read.
ObservedPattern read_observed_pattern(const std::string& path, Remarks& remarks);

// Parses column text already read (name: as messages name the file): one
// point a line, its numbers separated by blanks, tabs, commas or semicolons;
// empty lines, lines starting with # ! ; or //, and lines before the first
// point that do not start with a number (headers) are passed over, as is text
// after a # on a point's line. Ends the run naming the file and the line of
// the first thing that is not a point, of a 2-theta not above the one before,
// of a sigma below 0, or of a mix of two- and three-column lines.
ObservedPattern parse_observed_pattern(const std::string& text, const std::string& name);

}  // namespace velmora::powder
