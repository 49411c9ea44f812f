// A vector in the Cartesian frame of the cell: x along a, y in the plane of a
// and b, z along c* (right-handed). Three single-precision components.
#pragma once

#include <array>

namespace velmora {

struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// result = first x second; each component's products and difference are
// carried in double and rounded once. result must not alias the inputs.
void crossprod(const Vector3& first, const Vector3& second, Vector3& result);

// first . second summed as x x' + y y' + z z', rounded once.
float dot(const Vector3& first, const Vector3& second);

}  // namespace velmora
