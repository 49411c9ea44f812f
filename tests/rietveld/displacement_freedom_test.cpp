// The anisotropic displacements each site symmetry leaves free (rows of
// displacement_freedoms.txt), and any U_ij of those, turned to every atom of
// the cell, make a structure that every operation keeps: the covariance of
// the atom at g x is R C R' of the covariance C at x. And U of an isotropic
// atom gives its B back, for every reflection alike.
#include "rietveld/displacement_freedom.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "site_cases.hpp"

namespace velmora::rietveld {
namespace {

TEST(DisplacementFreedom, EachSiteSymmetryLeavesItsOwnDisplacementsFree) {
  const std::vector<std::string> rows = testing::table_rows("displacement_freedoms.txt");
  ASSERT_GE(rows.size(), 11u) << "displacement_freedoms.txt";
  for (const std::string& line : rows) {
    const auto [name, generators, expected, cell, x] = testing::site_row(line);
    const std::vector<SymmetryOperation> group = testing::group_of(generators);
    const Crystal crystal = testing::crystal_of(group, x, cell);
    std::string fault;
    const auto sites = site_freedoms(crystal, fault);
    ASSERT_TRUE(sites) << name << ": " << fault;
    const DisplacementFreedom f =
        displacement_freedom(crystal, sites->front(), {0.011, 0.013, 0.017, 0.003, -0.002, 0.001});
    EXPECT_EQ(testing::freedom_text(f, kDisplacementNames), expected) << name;

    // The start, made to obey the symmetry, on every atom of the site.
    const Covariance site = covariance_of(cell, f.start);
    std::vector<Covariance> atoms(crystal.atoms.size());
    for (const DisplacementFreedom::Image& image : f.images) atoms[image.atom] = turned(image.rot, site);
    for (std::size_t a = 0; a < crystal.atoms.size(); ++a)
      for (const SymmetryOperation& g : group) {
        const std::array<double, 3> y = testing::image(g.op, crystal.atoms[a].xyz);
        const auto there =
            std::find_if(crystal.atoms.begin(), crystal.atoms.end(),
                         [&](const CrystalAtom& b) { return testing::same_place(b.xyz, y, 1e-9); });
        ASSERT_NE(there, crystal.atoms.end()) << name;
        const Covariance want = turned(g.op.rot, atoms[a]),
                         got = atoms[static_cast<std::size_t>(there - crystal.atoms.begin())];
        for (std::size_t i = 0; i < 3; ++i)
          for (std::size_t j = 0; j < 3; ++j)
            EXPECT_NEAR(got[i][j], want[i][j], 1e-12)
                << name << ": " << g.op.triplet() << " breaks the structure";
      }
  }
}

TEST(DisplacementFreedom, AnIsotropicAtomKeepsItsB) {
  // U_ij of isotropic U in a monoclinic cell: U11 = U22 = U33 = U, U13 = U cos(beta*).
  const CellParameters cell = {5, 6, 7, 90, 100, 90};
  const double u = 0.01, b = 8 * std::numbers::pi * std::numbers::pi * u;
  const double cos_beta_star = -std::cos(100 * std::numbers::pi / 180);
  const std::array<double, 6> iso = {u, u, u, 0, u * cos_beta_star, 0};
  EXPECT_NEAR(equivalent_b(cell, iso), b, 1e-12);
  const Covariance c = covariance_of(cell, iso);
  for (const std::array<double, 3>& h : {std::array<double, 3>{1, 0, 0}, {0, 2, 1}, {3, -1, 2}, {1, 1, -4}})
    EXPECT_NEAR(effective_b(cell, c, h), b, 1e-12) << h[0] << " " << h[1] << " " << h[2];
}

}  // namespace
}  // namespace velmora::rietveld
