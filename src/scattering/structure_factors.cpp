// Structure-factor terms, each product formed left to right in double and
// each sum rounded once when stored.
#include "scattering/structure_factors.hpp"

#include <cmath>

#include "app/single_math.hpp"
#include "scattering/form_factors.hpp"

namespace velmora {
namespace {

float accumulate(float sum, double term) { return static_cast<float>(sum + term); }

}  // namespace

Phase atom_phase(const std::array<float, 3>& xyz, const ReflectionGeometry& g, float pi) {
  const float hxkylz = phase_sum(g.h, xyz);
  const float angle = static_cast<float>((static_cast<double>(pi) + pi) * hxkylz);
  Phase phase;
  sincos_f(angle, phase.ipart, phase.rpart);
  return phase;
}

void add_nuclear_xray_term(float occ, float bcoh, float formf, float dw, Phase p, NuclearXraySums& sums) {
  sums.frn = accumulate(sums.frn, static_cast<double>(bcoh) * p.rpart * dw * occ);
  sums.fin = accumulate(sums.fin, static_cast<double>(bcoh) * p.ipart * dw * occ);
  sums.xrn = accumulate(sums.xrn, static_cast<double>(p.rpart) * formf * dw * occ);
  sums.xin = accumulate(sums.xin, static_cast<double>(p.ipart) * formf * dw * occ);
}

void add_magnetic_term(float occ, const MomentSpec& moment, const Vector3& u, float formf, float dw, Phase p,
                       MagneticSums& sums) {
  const double real_weight = static_cast<double>(p.rpart) * formf * moment.mom * occ;
  const double imag_weight = static_cast<double>(p.ipart) * formf * moment.mom * occ;
  sums.ax = accumulate(sums.ax, real_weight * u.x * dw);
  sums.ay = accumulate(sums.ay, real_weight * u.y * dw);
  sums.az = accumulate(sums.az, real_weight * u.z * dw);
  sums.bx = accumulate(sums.bx, imag_weight * u.x * dw);
  sums.by = accumulate(sums.by, imag_weight * u.y * dw);
  sums.bz = accumulate(sums.bz, imag_weight * u.z * dw);
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
  return static_cast<float>(std::sqrt(static_cast<double>(s.frn) * s.frn + static_cast<double>(s.fin) * s.fin));
}

}  // namespace velmora
