// The isotropic equivalent of anisotropic displacements, in the three forms
// (U, B, beta) that files give them.
#include "cif/displacements.hpp"

#include <cmath>
#include <gemmi/math.hpp>

#include "cif/cif_values.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

std::map<std::string, AnisotropicDisplacement> anisotropic_displacements(cif::Block& block,
                                                                         const CifStructure& s) {
  const gemmi::UnitCell& c = s.cell;
  const double ca = std::cos(gemmi::rad(c.alpha)), cb = std::cos(gemmi::rad(c.beta)),
               cg = std::cos(gemmi::rad(c.gamma));
  const double metric[3][3] = {{c.a * c.a, c.a * c.b * cg, c.a * c.c * cb},
                               {c.a * c.b * cg, c.b * c.b, c.b * c.c * ca},
                               {c.a * c.c * cb, c.b * c.c * ca, c.c * c.c}};
  const double star[3] = {c.ar, c.br, c.cr};
  std::map<std::string, AnisotropicDisplacement> found;
  for (const char* kind : {"U", "B", "beta"}) {
    const std::string k = kind;
    cif::Table table = block.find("_atom_site_aniso_", {"label", k + "_11", k + "_22", k + "_33",
                                                        "?" + k + "_12", "?" + k + "_13", "?" + k + "_23"});
    const Place place{s.source, table.ok() && table.loop_item ? table.loop_item : nullptr};
    for (int i = 0; table.ok() && i < static_cast<int>(table.length()); ++i) {
      const std::string where = place.item ? place.row(i) : s.source;
      const std::string label = cif::as_string(table[i][0]);
      static const int pair[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
      double u_eq = 0.0;
      AnisotropicDisplacement d;
      for (int n = 0; n < 6; ++n) {
        if (!table[i].has2(1 + n)) continue;
        const auto [p, q] = pair[n];
        double u =
            number_or_fail(table[i][1 + n], where, "atom '" + label + "': _atom_site_aniso_" + k + "_ij");
        if (k == "B") u /= gemmi::u_to_b();
        if (k == "beta") u /= 2 * gemmi::pi() * gemmi::pi() * star[p] * star[q];
        u_eq += (p == q ? 1.0 : 2.0) * u * star[p] * star[q] * metric[p][q] / 3.0;
        d.u[static_cast<std::size_t>(n)] = u;
      }
      d.b_eq = single_or_fail(gemmi::u_to_b() * u_eq, where, "atom '" + label + "': B_eq", label);
      found.emplace(label, d);
    }
  }
  return found;
}

}  // namespace velmora::cif
