// The coordinates each Wyckoff position leaves free, for space groups given by
// generators (rows of site_freedoms.txt); and a step of the free coordinates,
// the tied ones following, keeps the site on its special position with every
// atom of the cell an image of it.
#include "rietveld/site_freedom.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "site_cases.hpp"

namespace velmora::rietveld {
namespace {

using testing::crystal_of;
using testing::group_of;
using testing::image;
using testing::same_place;

TEST(SiteFreedom, EachWyckoffPositionLeavesItsOwnCoordinatesFree) {
  const std::vector<std::string> rows = testing::table_rows("site_freedoms.txt");
  ASSERT_GE(rows.size(), 16u) << "site_freedoms.txt";
  for (const std::string& line : rows) {
    std::istringstream in(line);
    std::string name, generators;
    std::array<double, 3> x{};
    int keeping = 0;
    in >> name >> generators;
    for (double& v : x) {
      std::string text;
      in >> text;
      v = testing::number_of(text);
    }
    in >> keeping;
    std::string expected, word;
    while (in >> word) expected += (expected.empty() ? "" : " ") + word;
    const std::vector<SymmetryOperation> group = group_of(generators);
    Crystal crystal = crystal_of(group, x);
    std::string fault;
    const auto freedoms = site_freedoms(crystal, fault);
    ASSERT_TRUE(freedoms) << name << ": " << fault;
    const SiteFreedom& f = freedoms->front();
    EXPECT_EQ(testing::freedom_text(f, {"x", "y", "z"}), expected) << name;
    EXPECT_EQ(f.keeping, keeping) << name;
    EXPECT_EQ(f.images.size() * static_cast<std::size_t>(keeping), group.size()) << name << ": multiplicity";

    // A step of the free coordinates, the tied ones following.
    std::array<double, 3> moved = f.position;
    const std::array<double, 3> step = {0.013, 0.007, 0.011};
    for (std::size_t j = 0; j < 3; ++j)
      if (f.kind[j] == SiteFreedom::Kind::free) moved[j] += step[j];
    for (std::size_t j = 0; j < 3; ++j)
      if (f.kind[j] == SiteFreedom::Kind::tied)
        for (std::size_t k = 0; k < 3; ++k) moved[j] += f.follows[j][k] * (moved[k] - f.position[k]);
    int still_keeping = 0;
    for (const SymmetryOperation& op : group) still_keeping += same_place(image(op.op, moved), moved, 1e-9);
    EXPECT_EQ(still_keeping, keeping) << name << ": the step broke the site's symmetry";
    f.move_atoms(moved, crystal.atoms);
    for (const CrystalAtom& atom : crystal.atoms) {
      const bool an_image = std::any_of(group.begin(), group.end(), [&](const SymmetryOperation& op) {
        return same_place(image(op.op, moved), atom.xyz, 1e-9);
      });
      EXPECT_TRUE(an_image) << name << ": an atom left its site's orbit";
    }
  }
}

TEST(SiteFreedom, AnAtomNoOperationMakesIsNamed) {
  Crystal c = crystal_of(group_of("-x,-y,-z"), {0.1, 0.2, 0.3});
  c.atoms.back().xyz = {0.4, 0.4, 0.4};
  std::string fault;
  EXPECT_FALSE(site_freedoms(c, fault));
  EXPECT_NE(fault.find("site A1: its atom at (0.4, 0.4, 0.4)"), std::string::npos) << fault;
}

}  // namespace
}  // namespace velmora::rietveld
