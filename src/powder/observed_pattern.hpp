// A measured powder pattern: 2-theta in degrees, the counts and their standard
// uncertainties, as read from a two- or three-column text file (.xy, .xye,
// .dat or CSV).
#pragma once

#include <string>
#include <vector>

namespace velmora::powder {

struct ObservedPattern {
  std::string source;  // the file, as messages name it
  std::vector<double> two_theta, intensity, sigma;
  bool sigma_given = false;  // the file's third column; else sigma = sqrt(max(I, 1)), the fit's first weights
};

// Reads the file: one point a line, its numbers separated by blanks, tabs,
// commas or semicolons; empty lines, lines starting with # ! ; or //, and lines
// before the first point that do not start with a number (headers) are
// passed over, as is text after a # on a point's line. Ends the run naming the
// file and the line of the first thing that is not a point, of a 2-theta not
// above the one before, of a sigma not above 0, or of a mix of two- and
// three-column lines.
ObservedPattern read_observed_pattern(const std::string& path);

// Parses text already read (name: as messages name the file).
ObservedPattern parse_observed_pattern(const std::string& text, const std::string& name);

}  // namespace velmora::powder
