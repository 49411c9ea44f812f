// Checking each rotation against the cell's metric tensor G, with
// G_ij = a_i . a_j from the lengths and angles.
#include "cif/metric_check.hpp"

#include <cmath>
#include <cstdio>
#include <gemmi/math.hpp>

namespace velmora::cif {

const SymmetryOperation* operation_off_metric(const std::vector<SymmetryOperation>& ops,
                                              const gemmi::UnitCell& c) {
  const double ca = std::cos(gemmi::rad(c.alpha)), cb = std::cos(gemmi::rad(c.beta)),
               cg = std::cos(gemmi::rad(c.gamma));
  const double g[3][3] = {{c.a * c.a, c.a * c.b * cg, c.a * c.c * cb},
                          {c.a * c.b * cg, c.b * c.b, c.b * c.c * ca},
                          {c.a * c.c * cb, c.b * c.c * ca, c.c * c.c}};
  for (const SymmetryOperation& s : ops) {
    const auto& w = s.op.rot;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        double turned = 0.0;  // (W^T G W)_ij
        for (int k = 0; k < 3; ++k)
          for (int l = 0; l < 3; ++l) turned += w[k][i] * g[k][l] * w[l][j];
        if (std::fabs(turned - g[i][j]) > kMetricTolerance * std::sqrt(g[i][i] * g[j][j])) return &s;
      }
  }
  return nullptr;
}

std::string cell_text(const gemmi::UnitCell& c) {
  char text[160];
  std::snprintf(text, sizeof text, "a=%g b=%g c=%g alpha=%g beta=%g gamma=%g", c.a, c.b, c.c, c.alpha, c.beta,
                c.gamma);
  return text;
}

}  // namespace velmora::cif
