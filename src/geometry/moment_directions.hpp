// Unit vector of each magnetic moment in the Cartesian frame, from its angle
// to x (azimuth in the x-y plane) and its angle to z (polar angle).
#pragma once

#include <vector>

#include "geometry/vector3.hpp"
#include "structure/structure.hpp"

namespace velmora {

// One unit vector per moment, in order.
std::vector<Vector3> compute_moment_directions(const std::vector<MomentAngles>& moments);

}  // namespace velmora
