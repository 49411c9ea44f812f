// Moment directions: (sin phi cos theta, sin phi sin theta, cos phi), from the
// single-precision sine and cosine, each product rounded once. The length is
// 1 up to rounding; it is not normalised further.
#include "geometry/moment_directions.hpp"

#include <cmath>

#include "numbers/single_math.hpp"

namespace velmora {

std::vector<Vector3> compute_moment_directions(const std::vector<MomentAngles>& moments) {
  std::vector<Vector3> umom;
  umom.reserve(moments.size());
  for (const MomentAngles& m : moments) {
    const double sin_phi = sin_f(m.phi);
    Vector3 u;
    u.x = static_cast<float>(sin_phi * cos_f(m.theta));
    u.y = static_cast<float>(sin_phi * sin_f(m.theta));
    u.z = cos_f(m.phi);
    umom.push_back(u);
  }
  return umom;
}

}  // namespace velmora
