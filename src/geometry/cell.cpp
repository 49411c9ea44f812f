// Cartesian and reciprocal cell. Sines and cosines
// are the single-precision functions, each rounded before it is squared or
// multiplied; every other value is computed in double and rounded once when
// stored.
#include "geometry/cell.hpp"

#include <cmath>

#include "numbers/single_math.hpp"

namespace velmora {

void crossprod(const Vector3& first, const Vector3& second, Vector3& result) {
  const double fx = first.x, fy = first.y, fz = first.z;
  const double sx = second.x, sy = second.y, sz = second.z;
  result.x = static_cast<float>(fy * sz - fz * sy);
  result.y = static_cast<float>(fz * sx - fx * sz);
  result.z = static_cast<float>(fx * sy - fy * sx);
}

float dot(const Vector3& first, const Vector3& second) {
  return static_cast<float>(static_cast<double>(first.x) * second.x +
                            static_cast<double>(first.y) * second.y +
                            static_cast<double>(first.z) * second.z);
}

namespace {

float squared(float v) { return static_cast<float>(static_cast<double>(v) * v); }

}  // namespace

CellGeometry compute_cell_geometry(const LatticeParameters& param, float pi) {
  CellGeometry g;
  g.a = param[0];
  g.b = param[1];
  g.c = param[2];
  g.al = param[3];
  g.be = param[4];
  g.ga = param[5];

  g.sg = sin_f(g.ga);
  g.sa2 = squared(sin_f(g.al));
  g.sb2 = squared(sin_f(g.be));
  g.sg2 = squared(sin_f(g.ga));
  g.ca2 = squared(cos_f(g.al));
  g.cb2 = squared(cos_f(g.be));
  g.cg2 = squared(cos_f(g.ga));
  g.ca = cos_f(g.al);
  g.cb = cos_f(g.be);
  g.cg = cos_f(g.ga);

  const double b = g.b, c = g.c, sg = g.sg;
  const double ca = g.ca, cb = g.cb, cg = g.cg;
  g.ccel = {};
  g.ccel[0].x = g.a;
  g.ccel[1].x = static_cast<float>(b * cg);
  g.ccel[1].y = static_cast<float>(b * sg);
  g.ccel[2].x = static_cast<float>(c * cb);
  g.ccel[2].y = static_cast<float>(c * (ca - cb * cg) / sg);
  const double root = std::sqrt(1.0 - g.ca2 - g.cb2 - g.cg2 + 2.0 * ca * cb * cg);
  g.ccel[2].z = static_cast<float>(c * root / sg);

  crossprod(g.ccel[0], g.ccel[1], g.axb);
  crossprod(g.ccel[1], g.ccel[2], g.bxc);
  crossprod(g.ccel[2], g.ccel[0], g.cxa);

  g.volumes = {dot(g.ccel[0], g.bxc), dot(g.ccel[1], g.cxa), dot(g.ccel[2], g.axb)};
  g.cvol = g.volumes[2];

  const double two_pi = static_cast<double>(pi) + pi;
  const double cvol = g.cvol;
  const Vector3* products[3] = {&g.bxc, &g.cxa, &g.axb};
  for (int i = 0; i < 3; ++i) {
    g.crec[i].x = static_cast<float>(two_pi * products[i]->x / cvol);
    g.crec[i].y = static_cast<float>(two_pi * products[i]->y / cvol);
    g.crec[i].z = static_cast<float>(two_pi * products[i]->z / cvol);
  }
  return g;
}

}  // namespace velmora
