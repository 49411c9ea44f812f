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

// The sums of one reflection (Real = float) or of lanes of reflections.
template <typename Real>
struct NuclearXraySumsOf {
  Real frn{}, fin{};  // F_N, in the unit of the held lengths (10^-12 cm)
  Real xrn{}, xin{};  // F_X, in electrons
};
using NuclearXraySums = NuclearXraySumsOf<float>;

template <typename Real>
struct MagneticSumsOf {
  Real ax{}, ay{}, az{};  // real part of the vector structure factor P, Bohr magnetons
  Real bx{}, by{}, bz{};  // imaginary part
};
using MagneticSums = MagneticSumsOf<float>;

struct MagneticResult {
  float edotpreal = 0, edotpimag = 0, edotpsquared = 0, psquared = 0;
  float fmag = 0;  // 0.27 |P - (uq.P) uq|, in 10^-12 cm
};

// cos and sin of an atom's phase angle 2 pi (hx + ky + lz).
template <typename Real>
struct PhaseOf {
  Real rpart{};
  Real ipart{};
};
using Phase = PhaseOf<float>;

// Adds one term to a single-precision sum: the term in double, one rounding.
template <typename Real, typename Wide>
[[gnu::always_inline]] inline Real accumulate(const Real& sum, const Wide& term) {
  return narrow(widen(sum) + term);
}

Phase atom_phase(const std::array<float, 3>& xyz, const ReflectionGeometry& g, float pi);

// One atom's neutron and X-ray contribution, from its occupancy, the
// neutron length and X-ray form factor of its table row, its Debye-Waller
// factor and its phase.
// Each product is formed left to right in double. Always inline, so that the
// sums stay in registers across a loop over the atoms and the code is that of
// the caller's instruction set.
template <typename Real>
[[gnu::always_inline]] inline void add_nuclear_xray_term(float occ, float bcoh, const Real& formf,
                                                         const Real& dw, const PhaseOf<Real>& p,
                                                         NuclearXraySumsOf<Real>& sums) {
  const auto rpart = widen(p.rpart), ipart = widen(p.ipart), dw_d = widen(dw), formf_d = widen(formf);
  const auto occ_d = widen_each<Real>(occ), bcoh_d = widen_each<Real>(bcoh);
  sums.frn = accumulate(sums.frn, bcoh_d * rpart * dw_d * occ_d);
  sums.fin = accumulate(sums.fin, bcoh_d * ipart * dw_d * occ_d);
  sums.xrn = accumulate(sums.xrn, rpart * formf_d * dw_d * occ_d);
  sums.xin = accumulate(sums.xin, ipart * formf_d * dw_d * occ_d);
}

// One magnetic atom's contribution: its moment (size and unit vector) times
// the magnetic form factor, occupancy, Debye-Waller factor and phase.
template <typename Real>
[[gnu::always_inline]] inline void add_magnetic_term(float occ, const MomentAngles& moment, const Vector3& u,
                                                     const Real& formf, const Real& dw,
                                                     const PhaseOf<Real>& p, MagneticSumsOf<Real>& sums) {
  const auto mom = widen_each<Real>(moment.mom), occ_d = widen_each<Real>(occ);
  const auto ux = widen_each<Real>(u.x), uy = widen_each<Real>(u.y), uz = widen_each<Real>(u.z);
  const auto formf_d = widen(formf), dw_d = widen(dw);
  const auto real_weight = widen(p.rpart) * formf_d * mom * occ_d;
  const auto imag_weight = widen(p.ipart) * formf_d * mom * occ_d;
  sums.ax = accumulate(sums.ax, real_weight * ux * dw_d);
  sums.ay = accumulate(sums.ay, real_weight * uy * dw_d);
  sums.az = accumulate(sums.az, real_weight * uz * dw_d);
  sums.bx = accumulate(sums.bx, imag_weight * ux * dw_d);
  sums.by = accumulate(sums.by, imag_weight * uy * dw_d);
  sums.bz = accumulate(sums.bz, imag_weight * uz * dw_d);
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
