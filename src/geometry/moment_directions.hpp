// Unit vector of each magnetic moment in the Cartesian frame, from its angle
// to x (azimuth in the x-y plane) and its angle to z (polar angle).
#pragma once

#include <vector>

#include "geometry/vector3.hpp"
#include "structure/structure.hpp"

namespace velmora {

struct Console;

// One unit vector per moment, in order.
std::vector<Vector3> compute_moment_directions(const std::vector<MomentAngles>& moments);

// Prints the heading (always) and one row per magnetic atom: its index and
// the three components.
void write_moment_directions(Console& console, const std::vector<Vector3>& umom);

}  // namespace velmora
