// The components of a moment each magnetic site symmetry leaves free (rows of
// moment_freedoms.txt); and any moment of those components, given to the
// site's atoms, makes a magnetic structure that every operation of the group
// keeps: the moment of the atom at g x is g's turn of the moment at x.
#include "rietveld/moment_freedom.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "model/cartesian_moment.hpp"
#include "site_cases.hpp"

namespace velmora::rietveld {
namespace {

// The cell's edges as the columns of a Cartesian matrix (x along a, z along c*).
Matrix3 edges(const CellParameters& cell) {
  const double r = std::numbers::pi / 180;
  const double cy =
      (std::cos(cell[3] * r) - std::cos(cell[4] * r) * std::cos(cell[5] * r)) / std::sin(cell[5] * r);
  const double cz = std::sqrt(1 - std::cos(cell[4] * r) * std::cos(cell[4] * r) - cy * cy);
  return {{{cell[0], cell[1] * std::cos(cell[5] * r), cell[2] * std::cos(cell[4] * r)},
           {0, cell[1] * std::sin(cell[5] * r), cell[2] * cy},
           {0, 0, cell[2] * cz}}};
}

// A Cartesian moment's components along a, b, c (back substitution: the matrix is upper triangular).
std::array<double, 3> along_edges(const Matrix3& e, const std::array<double, 3>& m) {
  std::array<double, 3> f{};
  f[2] = m[2] / e[2][2];
  f[1] = (m[1] - e[1][2] * f[2]) / e[1][1];
  f[0] = (m[0] - e[0][1] * f[1] - e[0][2] * f[2]) / e[0][0];
  return f;
}

// The components along a, b, c of an axial vector after the operation.
std::array<double, 3> turned(const SymmetryOperation& o, const std::array<double, 3>& f) {
  std::array<double, 3> t{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t k = 0; k < 3; ++k) t[i] += o.op.det() * o.time_reversal * o.op.rot[i][k] * f[k];
  return t;
}

TEST(MomentFreedom, EachMagneticSiteSymmetryLeavesItsOwnComponentsFree) {
  const std::vector<std::string> rows = testing::table_rows("moment_freedoms.txt");
  ASSERT_GE(rows.size(), 12u) << "moment_freedoms.txt";
  for (const std::string& line : rows) {
    const auto [name, generators, expected, cell, x] = testing::site_row(line);
    const std::vector<SymmetryOperation> group = testing::group_of(generators);
    Crystal crystal = testing::crystal_of(group, x, cell);
    crystal.sites.front().magnetic = true;
    std::string fault;
    const auto sites = site_freedoms(crystal, fault);
    ASSERT_TRUE(sites) << name << ": " << fault;
    const MomentFreedom f = moment_freedoms(crystal, *sites).front();
    EXPECT_EQ(testing::freedom_text(f, {"mx", "my", "mz"}), expected) << name;

    // A moment of the free components, the tied ones following, on every atom of the site.
    std::array<double, 3> m{};
    const std::array<double, 3> chosen = {1.3, -0.7, 0.9};
    for (std::size_t j = 0; j < 3; ++j)
      if (f.kind[j] == ComponentFreedom::Kind::free) m[j] = chosen[j];
    for (std::size_t j = 0; j < 3; ++j)
      if (f.kind[j] == ComponentFreedom::Kind::tied)
        for (std::size_t k = 0; k < 3; ++k) m[j] += f.follows[j][k] * m[k];
    f.move_atoms(m, crystal.atoms);
    const Matrix3 e = edges(cell);
    std::array<double, 3> gradient{};
    const double size = f.size(m, gradient);
    for (const CrystalAtom& atom : crystal.atoms) {
      EXPECT_NEAR(atom.moment.size, size, 1e-12) << name << ": an image of another size";
      const std::array<double, 3> at = along_edges(e, moment_components(atom.moment));
      for (const SymmetryOperation& g : group) {
        const std::array<double, 3> y = testing::image(g.op, atom.xyz);
        const auto there =
            std::find_if(crystal.atoms.begin(), crystal.atoms.end(),
                         [&](const CrystalAtom& a) { return testing::same_place(a.xyz, y, 1e-9); });
        ASSERT_NE(there, crystal.atoms.end()) << name;
        const std::array<double, 3> want = turned(g, at),
                                    got = along_edges(e, moment_components(there->moment));
        for (std::size_t i = 0; i < 3; ++i)
          EXPECT_NEAR(got[i], want[i], 1e-9)
              << name << ": operation " << g.op.triplet() << " breaks the structure";
      }
    }
    // The atoms give the moment back as the site's start.
    const MomentFreedom again = moment_freedoms(crystal, *site_freedoms(crystal, fault)).front();
    for (std::size_t j = 0; j < 3; ++j)
      EXPECT_NEAR(again.start[j], m[j], 1e-9) << name << ": component " << j;
  }
}

}  // namespace
}  // namespace velmora::rietveld
