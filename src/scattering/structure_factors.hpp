// Structure-factor sums of one reflection. Every atom adds its neutron
// nuclear and X-ray contribution, weighted by occupancy and Debye-Waller
// factor with the phase 2 pi (hx + ky + lz); every magnetic atom adds its
// moment times the magnetic form factor, of which the part perpendicular to
// the scattering vector is kept.
#pragma once

#include <array>

#include "geometry/vector3.hpp"
#include "scattering/form_factors.hpp"
#include "scattering/reflection_geometry.hpp"
#include "structure/structure.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {

struct NuclearXraySums {
  float frn = 0, fin = 0;  // F_N, in the unit of the held lengths (10^-12 cm)
  float xrn = 0, xin = 0;  // F_X, in electrons
};

struct MagneticSums {
  float ax = 0, ay = 0, az = 0;  // real part of the vector structure factor P, Bohr magnetons
  float bx = 0, by = 0, bz = 0;  // imaginary part
};

struct MagneticResult {
  float edotpreal = 0, edotpimag = 0, edotpsquared = 0, psquared = 0;
  float fmag = 0;  // 0.27 |P - (uq.P) uq|, in 10^-12 cm
};

// cos and sin of an atom's phase angle 2 pi (hx + ky + lz).
struct Phase {
  float rpart = 0;
  float ipart = 0;
};

// Adds one term to a single-precision sum: the term in double, one rounding.
inline float accumulate(float sum, double term) { return static_cast<float>(sum + term); }

// The angle 2 pi (hx + ky + lz), and its cosine and sine.
inline float phase_angle(const std::array<float, 3>& xyz, const ReflectionGeometry& g, float pi) {
  const float hxkylz = phase_sum(g.h, xyz);
  return static_cast<float>((static_cast<double>(pi) + pi) * hxkylz);
}

Phase atom_phase(const std::array<float, 3>& xyz, const ReflectionGeometry& g, float pi);

// One atom's neutron and X-ray contribution, from its occupancy, the
// neutron length and X-ray form factor of its table row, its Debye-Waller
// factor and its phase.
// Each product is formed left to right in double. Inline, so that the sums
// stay in registers across a loop over the atoms.
inline void add_nuclear_xray_term(float occ, float bcoh, float formf, float dw, Phase p,
                                  NuclearXraySums& sums) {
  sums.frn = accumulate(sums.frn, static_cast<double>(bcoh) * p.rpart * dw * occ);
  sums.fin = accumulate(sums.fin, static_cast<double>(bcoh) * p.ipart * dw * occ);
  sums.xrn = accumulate(sums.xrn, static_cast<double>(p.rpart) * formf * dw * occ);
  sums.xin = accumulate(sums.xin, static_cast<double>(p.ipart) * formf * dw * occ);
}

// One magnetic atom's contribution: its moment (size and unit vector) times
// the magnetic form factor, occupancy, Debye-Waller factor and phase.
inline void add_magnetic_term(float occ, const MomentSpec& moment, const Vector3& u, float formf, float dw,
                              Phase p, MagneticSums& sums) {
  const double real_weight = static_cast<double>(p.rpart) * formf * moment.mom * occ;
  const double imag_weight = static_cast<double>(p.ipart) * formf * moment.mom * occ;
  sums.ax = accumulate(sums.ax, real_weight * u.x * dw);
  sums.ay = accumulate(sums.ay, real_weight * u.y * dw);
  sums.az = accumulate(sums.az, real_weight * u.z * dw);
  sums.bx = accumulate(sums.bx, imag_weight * u.x * dw);
  sums.by = accumulate(sums.by, imag_weight * u.y * dw);
  sums.bz = accumulate(sums.bz, imag_weight * u.z * dw);
}

// The perpendicular part. Rounding can leave |P|^2 - (uq.P)^2 a little below
// zero when P is parallel to q; that is taken as zero, not as a square root
// of a negative number. A not-a-number difference (reflection 0 0 0) stays.
MagneticResult magnetic_result(const MagneticSums& sums, const Vector3& uq, float eg2mc);

// |F_N| = sqrt(frn^2 + fin^2).
float nuclear_modulus(const NuclearXraySums& sums);

// One reflection's values: its geometry (h k l, q, |q| = kappa, d) and the
// squared moduli of the neutron nuclear, neutron magnetic and X-ray
// structure factors.
struct ReflectionValues {
  ReflectionGeometry geometry;
  float fn_squared = 0;
  float fm_squared = 0;
  float fx_squared = 0;
};

// The three squared moduli from the finished sums of the reflection whose
// geometry v holds.
void set_squared_moduli(const NuclearXraySums& nx, const MagneticSums& ms, float eg2mc, ReflectionValues& v);

}  // namespace velmora
