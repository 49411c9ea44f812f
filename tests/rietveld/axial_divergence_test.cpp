// The axial-divergence kernel's quadrature against the density integrated
// apart (the midpoint rule on a fine grid in sqrt(2theta - 2phi)): the first
// two moments of the offsets, the side they lie on, and the symmetries of the
// geometry (S and H swapped; 2theta mirrored about 90 degrees); its
// derivatives against differences of the moments at fixed node counts.
#include "rietveld/axial_divergence.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace velmora::rietveld {
namespace {

struct Case {
  double two_theta, s_l, h_l, fwhm;
};

const Case kCases[] = {
    {8, 0.02, 0.02, 0.05},    {21.4, 0.03, 0.01, 0.05}, {45, 0.025, 0.025, 0.1}, {70, 0.05, 0.005, 0.02},
    {89.5, 0.02, 0.03, 0.05}, {130, 0.03, 0.01, 0.2},   {160, 0.06, 0.06, 0.3},  {28, 0.04, 0.001, 0.04},
};

struct Moments {
  double mean = 0, spread = 0;  // mean offset and its root mean square about it, degrees
};

Moments moments_of(const std::vector<AxialNode>& nodes) {
  Moments m;
  for (const AxialNode& n : nodes) m.mean += n.weight * n.offset;
  for (const AxialNode& n : nodes) m.spread += n.weight * (n.offset - m.mean) * (n.offset - m.mean);
  m.spread = std::sqrt(m.spread);
  return m;
}

// The density W / (h cos 2phi) by the midpoint rule in v = sqrt(2theta - 2phi).
Moments brute_force(const Case& c) {
  const double radian = std::numbers::pi / 180;
  const bool mirrored = c.two_theta > 90;
  const double t = (mirrored ? 180 - c.two_theta : c.two_theta) * radian, cos_t = std::cos(t);
  const double low = std::acos(std::min(1.0, cos_t * std::hypot(c.s_l + c.h_l, 1.0)));
  const int n = 200000;
  double total = 0, first = 0, second = 0;
  for (int k = 0; k < n; ++k) {
    const double v = (k + 0.5) / n * std::sqrt(t - low), phi = t - v * v;
    // cos^2 2phi / cos^2 2theta - 1, the difference of cosines as a product of sines
    const double h = std::sqrt(std::max(
        2 * std::sin(t - v * v / 2) * std::sin(v * v / 2) * (std::cos(phi) + cos_t) / (cos_t * cos_t),
        1e-300));
    const double w = h > std::abs(c.h_l - c.s_l) ? c.s_l + c.h_l - h : 2 * std::min(c.s_l, c.h_l);
    const double density = std::max(w, 0.0) / (h * std::cos(phi)) * 2 * v;
    const double offset = (phi - t) / radian * (mirrored ? -1 : 1);
    total += density, first += density * offset, second += density * offset * offset;
  }
  return {first / total, std::sqrt(second / total - (first / total) * (first / total))};
}

TEST(AxialDivergence, QuadratureKeepsTheDensitysMoments) {
  for (const Case& c : kCases) {
    const std::vector<AxialNode> nodes =
        axial_nodes(c.two_theta, c.s_l, c.h_l, axial_counts(c.two_theta, c.s_l, c.h_l, c.fwhm));
    double sum = 0;
    for (const AxialNode& n : nodes) {
      sum += n.weight;
      EXPECT_GE(n.weight, 0) << c.two_theta;
      EXPECT_TRUE(c.two_theta < 90 ? n.offset <= 0 : n.offset >= 0) << c.two_theta << ": offset " << n.offset;
    }
    EXPECT_NEAR(sum, 1, 1e-12) << c.two_theta;
    const Moments got = moments_of(nodes), want = brute_force(c);
    EXPECT_NEAR(got.mean, want.mean, 1e-3 * std::abs(want.mean) + 1e-5 * c.fwhm) << c.two_theta;
    EXPECT_NEAR(got.spread, want.spread, 2e-3 * want.spread + 1e-5 * c.fwhm) << c.two_theta;

    // S and H swapped, and the mirror angle: the same nodes, and the same mirrored.
    const std::vector<AxialNode> swapped =
        axial_nodes(c.two_theta, c.h_l, c.s_l, axial_counts(c.two_theta, c.h_l, c.s_l, c.fwhm));
    const std::vector<AxialNode> mirrored =
        axial_nodes(180 - c.two_theta, c.s_l, c.h_l, axial_counts(180 - c.two_theta, c.s_l, c.h_l, c.fwhm));
    ASSERT_EQ(swapped.size(), nodes.size());
    ASSERT_EQ(mirrored.size(), nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      EXPECT_NEAR(swapped[k].offset, nodes[k].offset, 1e-12);
      EXPECT_NEAR(mirrored[k].offset, -nodes[k].offset, 1e-9);
      EXPECT_NEAR(mirrored[k].weight, nodes[k].weight, 1e-9);
    }
  }
}

TEST(AxialDivergence, DerivativesOfTheMomentsAgreeWithDifferences) {
  for (const Case& c : kCases) {
    const AxialCounts counts = axial_counts(c.two_theta, c.s_l, c.h_l, c.fwhm);
    const std::vector<AxialNode> nodes = axial_nodes(c.two_theta, c.s_l, c.h_l, counts);
    for (std::size_t j = 0; j < 3; ++j) {
      // With S = H the kernel has a kink in S - H: there only along S = H.
      const bool equal = c.s_l == c.h_l;
      if (equal && j == 2) continue;
      double mean = 0, mean_square = 0;
      for (const AxialNode& n : nodes) {
        const double by = equal && j == 1 ? n.weight_by[1] + n.weight_by[2] : n.weight_by[j];
        const double offset_by = equal && j == 1 ? n.offset_by[1] + n.offset_by[2] : n.offset_by[j];
        mean += by * n.offset + n.weight * offset_by;
        mean_square += by * n.offset * n.offset + 2 * n.weight * n.offset * offset_by;
      }
      const double step = j == 0 ? 1e-4 : 1e-6;
      const auto at = [&](double sign) {
        Case moved = c;
        if (j == 0) moved.two_theta += sign * step;
        if (j == 1 || (equal && j == 1)) moved.s_l += sign * step;
        if (j == 2 || (equal && j == 1)) moved.h_l += sign * step;
        double m = 0, m2 = 0;
        for (const AxialNode& n : axial_nodes(moved.two_theta, moved.s_l, moved.h_l, counts))
          m += n.weight * n.offset, m2 += n.weight * n.offset * n.offset;
        return std::pair{m, m2};
      };
      const auto [up_mean, up_square] = at(1);
      const auto [down_mean, down_square] = at(-1);
      const double numeric_mean = (up_mean - down_mean) / (2 * step);
      const double numeric_square = (up_square - down_square) / (2 * step);
      EXPECT_NEAR(mean, numeric_mean, 1e-5 * std::abs(numeric_mean) + 1e-9) << c.two_theta << " by " << j;
      EXPECT_NEAR(mean_square, numeric_square, 1e-5 * std::abs(numeric_square) + 1e-9)
          << c.two_theta << " by " << j;
    }
  }
}

TEST(AxialDivergence, NoDivergenceIsOneNode) {
  EXPECT_EQ(axial_counts(30, 0, 0, 0.1).inner + axial_counts(30, 0, 0, 0.1).outer, 0);
  const std::vector<AxialNode> one = axial_nodes(30, 0.02, 0.02, AxialCounts{});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].offset, 0);
  EXPECT_EQ(one[0].weight, 1);
}

}  // namespace
}  // namespace velmora::rietveld
