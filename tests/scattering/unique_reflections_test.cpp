// Sets of equivalents where cctbx has no say: an h k l listed twice, 0 0 0, the greatest
// listed member as representative, and operations that the atoms or the moments refuse.
#include "scattering/unique_reflections.hpp"

#include <gtest/gtest.h>

#include "geometry/moment_directions.hpp"
#include "run/run_state.hpp"

namespace velmora {
namespace {

constexpr SpaceOperation kFourFold{{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}}, {0, 0, 0}};  // -y,x,z

// A tetragonal cell of atoms of one kind at the given positions, each with a moment of
// 2 Bohr magnetons at the given angles (degrees) when it has one.
std::size_t laue_order(const std::vector<std::array<float, 3>>& xyz,
                       std::optional<std::array<float, 2>> angles) {
  Structure s;
  s.param = {4, 4, 6, kPi / 2, kPi / 2, kPi / 2};
  for (const auto& x : xyz) {
    s.atoms.push_back({{'F', 'e', 'x'}, x, 1, 0.3f});
    if (angles) {
      s.magnetic.push_back(s.atoms.back());
      s.magnetic_site.push_back(s.atoms.size() - 1);
      s.moments.push_back({2, (*angles)[0] * kPi / 180, (*angles)[1] * kPi / 180});
    }
  }
  return laue_group(s, compute_cell_geometry(s.param, kPi), compute_moment_directions(s.moments), {kFourFold})
      .size();
}

TEST(UniqueReflections, FriedelMatesAloneWithoutOperations) {
  const std::vector<Reflection> hkl = {{-1, 0, 0}, {1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {2, 1, 0}};
  const std::vector<EquivalentSet> sets =
      unique_reflections(hkl, {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}}});
  ASSERT_EQ(sets.size(), 3u);
  const std::size_t expected[3][3] = {
      {1, 2, 2}, {2, 1, 1}, {4, 2, 1}};  // representative, multiplicity, listed
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ((std::array{sets[i].representative, sets[i].multiplicity, sets[i].listed}),
              (std::array{expected[i][0], expected[i][1], expected[i][2]}))
        << "set " << i;
}

TEST(UniqueReflections, OperationKeptOnlyWhenAtomsAndMomentsFollow) {
  const std::vector<std::array<float, 3>> square = {
      {0.1f, 0.2f, 0.3f}, {0.8f, 0.1f, 0.3f}, {0.9f, 0.8f, 0.3f}, {0.2f, 0.9f, 0.3f}};
  EXPECT_EQ(laue_order(square, std::nullopt), 8u);                  // 4/m
  EXPECT_EQ(laue_order({square[0], square[1]}, std::nullopt), 2u);  // no atom at the image: -1
  EXPECT_EQ(laue_order(square, std::array<float, 2>{0, 0}), 8u);    // moments along c turn with the axis
  EXPECT_EQ(laue_order(square, std::array<float, 2>{0, 90}), 2u);   // moments along a do not
}

}  // namespace
}  // namespace velmora
