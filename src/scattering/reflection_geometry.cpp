// Reflection geometry: every value computed in double in the order of its
// formula and rounded once when stored.
#include "scattering/reflection_geometry.hpp"

#include <cmath>

namespace velmora {

ReflectionGeometry compute_reflection_geometry(const Reflection& hkl, const CellGeometry& g, float pi) {
  ReflectionGeometry r;
  r.h = hkl;
  const double h = hkl[0], k = hkl[1], l = hkl[2];
  const auto& cr = g.crec;
  r.q.x = static_cast<float>(h * cr[0].x + k * cr[1].x + l * cr[2].x);
  r.q.y = static_cast<float>(h * cr[0].y + k * cr[1].y + l * cr[2].y);
  r.q.z = static_cast<float>(h * cr[0].z + k * cr[1].z + l * cr[2].z);
  const double qx = r.q.x, qy = r.q.y, qz = r.q.z;
  r.qmag = static_cast<float>(std::sqrt(qx * qx + qy * qy + qz * qz));
  r.uq.x = static_cast<float>(qx / r.qmag);
  r.uq.y = static_cast<float>(qy / r.qmag);
  r.uq.z = static_cast<float>(qz / r.qmag);

  const double a = g.a, b = g.b, c = g.c;
  const double ca = g.ca, cb = g.cb, cg = g.cg;
  r.d1 = static_cast<float>(h * h * g.sa2 / (a * a));
  r.d2 = static_cast<float>(k * k * g.sb2 / (b * b));
  r.d3 = static_cast<float>(l * l * g.sg2 / (c * c));
  r.d4 = static_cast<float>(2.0 * h * k * (ca * cb - cg) / (a * b));
  r.d5 = static_cast<float>(2.0 * k * l * (cb * cg - ca) / (b * c));
  r.d6 = static_cast<float>(2.0 * l * h * (cg * ca - cb) / (c * a));
  r.d7 = static_cast<float>(1.0 - g.ca2 - g.cb2 - g.cg2);
  r.d8 = static_cast<float>(2.0 * ca * cb * cg);
  const double numerator = static_cast<double>(r.d1) + r.d2 + r.d3 + r.d4 + r.d5 + r.d6;
  const float inverse_d = static_cast<float>(std::sqrt(numerator / (static_cast<double>(r.d7) + r.d8)));
  r.d = static_cast<float>(1.0 / inverse_d);
  r.kappa = static_cast<float>((static_cast<double>(pi) + pi) / r.d);
  r.s = static_cast<float>(r.kappa / (static_cast<double>(pi) * 4.0));
  return r;
}

}  // namespace velmora
