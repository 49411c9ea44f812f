// What is left of the structure-factor sums once all terms are added: the
// perpendicular magnetic part and the nuclear modulus; and one atom's phase.
#include "scattering/structure_factors.hpp"

#include <cmath>

#include "numbers/single_math.hpp"

namespace velmora {

Phase atom_phase(const std::array<float, 3>& xyz, const ReflectionGeometry& g, float pi) {
  Phase phase;
  sincos_f(phase_angle(xyz, g.h, pi), phase.ipart, phase.rpart);
  return phase;
}

MagneticResult magnetic_result(const MagneticSums& p, const Vector3& uq, float eg2mc) {
  MagneticResult r;
  r.edotpreal = static_cast<float>(static_cast<double>(uq.x) * p.ax + static_cast<double>(uq.y) * p.ay +
                                   static_cast<double>(uq.z) * p.az);
  r.edotpimag = static_cast<float>(static_cast<double>(uq.x) * p.bx + static_cast<double>(uq.y) * p.by +
                                   static_cast<double>(uq.z) * p.bz);
  r.edotpsquared = static_cast<float>(static_cast<double>(r.edotpreal) * r.edotpreal +
                                      static_cast<double>(r.edotpimag) * r.edotpimag);
  r.psquared = static_cast<float>(static_cast<double>(p.ax) * p.ax + static_cast<double>(p.ay) * p.ay +
                                  static_cast<double>(p.az) * p.az + static_cast<double>(p.bx) * p.bx +
                                  static_cast<double>(p.by) * p.by + static_cast<double>(p.bz) * p.bz);
  double difference = static_cast<double>(r.psquared) - r.edotpsquared;
  if (difference < 0.0) difference = 0.0;  // NaN fails the test and stays NaN
  const float perpendicular = static_cast<float>(std::sqrt(difference));
  r.fmag = static_cast<float>(static_cast<double>(perpendicular) * eg2mc);
  return r;
}

float nuclear_modulus(const NuclearXraySums& s) {
  return static_cast<float>(
      std::sqrt(static_cast<double>(s.frn) * s.frn + static_cast<double>(s.fin) * s.fin));
}

namespace {
float squared(float v) { return static_cast<float>(static_cast<double>(v) * v); }
}  // namespace

void set_squared_moduli(const NuclearXraySums& nx, const MagneticSums& ms, float eg2mc, ReflectionValues& v) {
  v.fn_squared = squared(nuclear_modulus(nx));
  v.fm_squared = squared(magnetic_result(ms, v.geometry.uq, eg2mc).fmag);
  v.fx_squared =
      static_cast<float>(static_cast<double>(nx.xrn) * nx.xrn + static_cast<double>(nx.xin) * nx.xin);
}

}  // namespace velmora
