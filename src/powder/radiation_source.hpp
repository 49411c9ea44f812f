// The radiation a pattern is made with: one or more wavelengths, each with its
// intensity relative to the first. A laboratory tube gives its K-alpha1 and
// K-alpha2 lines; a monochromated beam or a neutron diffractometer gives one.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora::powder {

// What a pattern is computed for: neutrons, X-rays, or (in a plot) both.
enum class Radiation { neutron, xray, both };

struct SourceLine {
  double wavelength = 0;  // angstroms
  double ratio = 1;       // intensity relative to the first line
};

// The K-alpha1 and K-alpha2 lines of a tube anode: Cu, Mo, Co, Fe, Cr or Ag;
// nothing for any other name.
std::optional<std::vector<SourceLine>> tube_lines(const std::string& anode);

// Why a name is no tube anode: "no such tube anode; one of Ag, Co, ...".
std::string unknown_tube_reason();

// A list "L[:R],L:R,...": wavelengths in angstroms, each with its ratio (1
// when left out), refused when it does not read as one; option names the
// option in messages. Their values are checked by source_lines_fault.
std::vector<SourceLine> wavelength_lines(const std::string& option, const std::string& text);

// The shortest wavelength of the lines, which reaches the smallest d-spacing.
double shortest_wavelength(const std::vector<SourceLine>& lines);

}  // namespace velmora::powder
