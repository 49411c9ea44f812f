#include "model/cartesian_moment.hpp"

#include <cmath>
#include <numbers>

namespace velmora {
namespace {

double degrees(double radians) { return 180.0 / std::numbers::pi * radians; }

}  // namespace

CartesianMoment moment_angles(const std::array<double, 3>& moment) {
  CartesianMoment angles;
  angles.size = std::sqrt(moment[0] * moment[0] + moment[1] * moment[1] + moment[2] * moment[2]);
  if (angles.size == 0.0) return angles;
  // Components that are rounding noise of a zero (cos 90 degrees in the cell
  // matrix) would turn an azimuth of 0 into 360 or 180.
  std::array<double, 3> m = moment;
  for (double& v : m)
    if (std::fabs(v) <= 1e-12 * angles.size) v = 0.0;
  const double in_plane = std::hypot(m[0], m[1]);
  angles.angle_to_z = degrees(std::atan2(in_plane, m[2]));
  if (in_plane > 0.0) {
    angles.angle_to_x = degrees(std::atan2(m[1], m[0]));
    if (angles.angle_to_x < 0.0) angles.angle_to_x += 360.0;
    if (static_cast<float>(angles.angle_to_x) >= 360.0f) angles.angle_to_x = 0.0;
  }
  return angles;
}

std::array<double, 3> moment_components(const CartesianMoment& moment) {
  const double radian = std::numbers::pi / 180;
  const double polar = moment.angle_to_z * radian, azimuth = moment.angle_to_x * radian;
  return {moment.size * std::sin(polar) * std::cos(azimuth),
          moment.size * std::sin(polar) * std::sin(azimuth), moment.size * std::cos(polar)};
}

}  // namespace velmora
