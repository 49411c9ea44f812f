// The answers velmora's dialogue asks for, as one text: lattice parameters;
// the number of atoms; one line per atom (symbol x y z occupancy B magnetic
// flag); one line per magnetic atom with the size of its moment, its angle to
// x and its angle to z; the number of reflections; one h k l line each.
// Numbers are written with the fewest digits that read back as the same
// single-precision value, which is how velmora stores them.
#pragma once

#include <array>
#include <gemmi/math.hpp>
#include <string>
#include <vector>

#include "cif/reflection_list.hpp"
#include "model/crystal.hpp"

namespace velmora::cif {

// The moment of Cartesian components (x along a, y in the a-b plane, z along
// c*) as velmora's dialogue takes it: the azimuth in [0, 360), the polar
// angle in [0, 180].
CartesianMoment moment_angles(const gemmi::Vec3& moment);

// The shortest text that reads back as the single-precision value of v.
std::string float_text(double v);

// A site label as the answers carry it, after the values on an atom line:
// velmora skips it, but a blank, control character or line break in it would
// shift every later answer, so each such byte (and every byte beyond ASCII)
// becomes _; an empty label is written _.
std::string answer_site_text(const std::string& label);

// The answers for the crystal's atoms and these reflections.
std::string answer_text(const Crystal& crystal, const std::vector<Hkl>& reflections);

}  // namespace velmora::cif
