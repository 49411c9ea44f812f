// The reflections the answers ask for: every h k l down to a smallest
// d-spacing, or a list read from a file.
#pragma once

#include <array>
#include <gemmi/unitcell.hpp>
#include <string>
#include <vector>

namespace velmora::cif {

using Hkl = std::array<double, 3>;

// Every h k l but 0 0 0 with d >= dmin, both members of each Friedel pair,
// by decreasing d; reflections of one d (within rounding) by increasing h,
// then k, then l.
std::vector<Hkl> reflections_to_dmin(const gemmi::UnitCell& cell, double dmin);

// A file of reflections, one h k l a line (numbers, fractional ones allowed);
// empty lines and lines starting with # are passed over. A line that is not
// three numbers ends the conversion with the file and the line.
std::vector<Hkl> read_reflection_file(const std::string& path);

}  // namespace velmora::cif
