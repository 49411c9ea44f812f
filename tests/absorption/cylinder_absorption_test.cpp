// The cylinder's transmission against the numerical integral of
// cylinder_transmission.txt (cylinder_integral.py, made apart from the program),
// its slope against the factor's own change, and the range it refuses.
#include "absorption/cylinder_absorption.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

namespace velmora {
namespace {

constexpr double kRadian = std::numbers::pi / 180;

TEST(CylinderAbsorption, FollowsTheIntegralWithin1Point5Percent) {
  std::ifstream table(std::filesystem::path(VELMORA_TESTS_DIR) / "absorption/cylinder_transmission.txt");
  ASSERT_TRUE(table) << "cylinder_transmission.txt";
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    double mu_r = 0, two_theta = 0, integral = 0;
    ASSERT_TRUE(row >> mu_r >> two_theta >> integral) << line;
    EXPECT_NEAR(cylinder_transmission(mu_r, two_theta / 2 * kRadian) / integral, 1, 0.015) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 49);
}

TEST(CylinderAbsorption, SlopeIsTheChangeOfItsLogarithm) {
  for (double mu_r : {0.3, 2.0, 3.0, 7.0})
    for (double theta : {0.1, 0.7, 1.4}) {
      const double h = 1e-3;
      const double change = (std::log(cylinder_transmission(mu_r, theta + h)) -
                             std::log(cylinder_transmission(mu_r, theta - h))) /
                            (2 * h);
      EXPECT_NEAR(cylinder_transmission_slope(mu_r, theta), change, 1e-3 * (1 + std::abs(change)))
          << mu_r << " " << theta;
      EXPECT_GT(cylinder_transmission_slope(mu_r, theta), 0) << "a higher angle loses less";
    }
  EXPECT_EQ(cylinder_transmission(0, 0.5), 1.0);
  EXPECT_EQ(cylinder_transmission_slope(0, 0.5), 0.0);
}

TEST(CylinderAbsorption, RefusesWhatItsRangeLacks) {
  EXPECT_FALSE(mu_r_fault(0));
  EXPECT_FALSE(mu_r_fault(kLargestMuR));
  for (double bad : {-0.1, kLargestMuR * 1.01, std::nan("")}) EXPECT_TRUE(mu_r_fault(bad)) << bad;
}

}  // namespace
}  // namespace velmora
