// The direct cell in the Cartesian frame, the cross products of its edges,
// its volume and the reciprocal cell (carrying the factor 2 pi), with the
// cosines and squared sines of the cell angles that the d-spacing needs.
#pragma once

#include <array>

#include "geometry/vector3.hpp"
#include "structure/structure.hpp"

namespace velmora {

struct CellGeometry {
  float a = 0, b = 0, c = 0, al = 0, be = 0, ga = 0;        // edges, angles in radians
  float sg = 0;                                             // sin(gamma)
  float sa2 = 0, sb2 = 0, sg2 = 0;                          // squared sines of the angles
  float ca = 0, cb = 0, cg = 0, ca2 = 0, cb2 = 0, cg2 = 0;  // cosines and their squares
  std::array<Vector3, 3> ccel{};                            // rows a, b, c
  Vector3 axb, bxc, cxa;
  std::array<float, 3> volumes{};  // a . (b x c), b . (c x a), c . (a x b)
  float cvol = 0;                  // c . (a x b), the last of the three volumes
  std::array<Vector3, 3> crec{};   // rows a*, b*, c*, each with the factor 2 pi
};

// The cell geometry of the lattice parameters (angles in radians).
CellGeometry compute_cell_geometry(const LatticeParameters& param, float pi);

}  // namespace velmora
