// A moment between its Cartesian components (x along a, y in the a-b plane,
// z along c*) and the size and two angles the crystal model holds it as.
#pragma once

#include <array>

#include "model/crystal.hpp"

namespace velmora {

// The size, the azimuth in [0, 360) and the polar angle in [0, 180] of a
// moment of Cartesian components m.
CartesianMoment moment_angles(const std::array<double, 3>& m);

// The Cartesian components of a moment held as its size and angles.
std::array<double, 3> moment_components(const CartesianMoment& moment);

}  // namespace velmora
