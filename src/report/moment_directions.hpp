// The moment directions block of velmora's output: its heading, always, then
// one row per magnetic atom with the unit vector compute_moment_directions
// stored for it.
#pragma once

#include <vector>

#include "geometry/vector3.hpp"

namespace velmora {

struct Console;

// Prints the heading (always) and one row per magnetic atom: its index and
// the three components.
void write_moment_directions(Console& console, const std::vector<Vector3>& umom);

}  // namespace velmora
