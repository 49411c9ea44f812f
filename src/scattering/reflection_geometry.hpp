// Geometry of one reflection: the scattering vector from the reciprocal cell,
// its length and direction, and the d-spacing from the lattice parameters by
// the general triclinic formula, with kappa = 2 pi / d and s = sin(theta) /
// lambda = 1 / (2 d), the argument of every form factor.
#pragma once

#include "geometry/cell.hpp"
#include "structure/structure.hpp"

namespace velmora {

struct ReflectionGeometry {
  Reflection h{};
  Vector3 q;       // scattering vector, 2 pi (h a* + k b* + l c*)
  float qmag = 0;  // |q|, used only to form uq
  Vector3 uq;      // q / |q|: not-a-number for 0 0 0
  float d1 = 0, d2 = 0, d3 = 0, d4 = 0, d5 = 0, d6 = 0, d7 = 0, d8 = 0;
  float d = 0;      // d-spacing: +infinity for 0 0 0
  float kappa = 0;  // 2 pi / d, the printed |q|
  float s = 0;      // kappa / (4 pi)
};

ReflectionGeometry compute_reflection_geometry(const Reflection& h, const CellGeometry& cell, float pi);

}  // namespace velmora
