// The pattern model's exact derivatives against central differences of its own
// values, for each parameter they cover, on a small cubic pattern of two lines:
// a Gaussian one and a pseudo-Voigt one, X-rays and neutrons, symmetric,
// leaning and axially spread peaks.
#include "rietveld/pattern_model.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora::rietveld {
namespace {

struct Case {
  const char* name;
  bool pseudo_voigt, xray;
  std::array<double, 5> profile;    // U V W X Y
  std::array<double, 4> asymmetry;  // P1 P2 P3 P4
  std::array<double, 6> cell = {4.157, 4.157, 4.157, 90, 90, 90};
  std::array<double, 2> axial = {0, 0};  // S/L H/L
  double mu_r = 0;                       // a cylinder's absorption
};

std::vector<double> parameters_of(const Case& c) {
  std::vector<double> p(ParameterIndex::background + 3, 0.0);
  p[ParameterIndex::scale] = 2.5;
  p[ParameterIndex::zero] = 0.03;
  p[ParameterIndex::displacement] = -0.02;
  p[ParameterIndex::transparency] = 0.01;
  p[ParameterIndex::wavelength] = 1.5406;
  for (std::size_t k = 0; k < 6; ++k) p[ParameterIndex::cell + k] = c.cell[k];
  for (std::size_t k = 0; k < 5; ++k) p[ParameterIndex::profile + k] = c.profile[k];
  for (std::size_t k = 0; k < 4; ++k) p[ParameterIndex::asymmetry + k] = c.asymmetry[k];
  for (std::size_t k = 0; k < 2; ++k) p[ParameterIndex::axial + k] = c.axial[k];
  p[ParameterIndex::background] = 10, p[ParameterIndex::background + 1] = -2,
  p[ParameterIndex::background + 2] = 1;
  return p;
}

PatternSetup setup_of(const Case& c) {
  PatternSetup s;
  s.groups = {{{1, 0, 0}, 40, 6, {}, {}},
              {{1, 1, 0}, 90, 12, {}, {}},
              {{1, 1, 1}, 25, 8, {}, {}},
              {{2, 0, 0}, 60, 6, {}, {}}};
  s.lines = {{1.0, 1.0}, {1.002485, 0.5}};
  s.xray = c.xray;
  s.mu_r = c.mu_r;
  s.pseudo_voigt = c.pseudo_voigt;
  s.background_terms = 3;
  for (double x = 18; x <= 50; x += 0.01) s.x.push_back(x);
  return s;
}

TEST(PatternModel, ExactDerivativesAgreeWithDifferences) {
  const Case cases[] = {
      {"gaussian_xray", false, true, {0.01, -0.005, 0.004, 0, 0}, {0, 0, 0, 0}},
      {"pseudo_voigt_neutron", true, false, {0.01, -0.005, 0.004, 0.02, 0.015}, {0, 0, 0, 0}},
      {"pseudo_voigt_from_no_lorentzian", true, true, {0.01, -0.005, 0.004, 0, 0}, {0, 0, 0, 0}},
      {"leaning_gaussian", false, true, {0.01, -0.005, 0.004, 0, 0}, {-0.05, 0.01, 0.03, -0.004}},
      {"leaning_pseudo_voigt", true, false, {0.01, -0.005, 0.004, 0.02, 0.015}, {0.04, -0.02, -0.01, 0.005}},
      // (a peak is cut at its reach, so a point crossing it makes differences jump: the cells
      // are such that none crosses within the steps taken)
      {"triclinic_leaning",
       true,
       true,
       {0.01, -0.005, 0.004, 0.02, 0.015},
       {0.04, -0.02, -0.01, 0.005},
       {4.157, 4.31, 4.62, 86, 95.5, 100.5}},
      // absorbed by a cylinder, whose transmission follows each peak's angle (both branches of its form)
      {"absorbing_capillary",
       true,
       true,
       {0.01, -0.005, 0.004, 0.02, 0.015},
       {0, 0, 0, 0},
       {4.157, 4.157, 4.157, 90, 90, 90},
       {0, 0},
       2.5},
      {"strongly_absorbing_capillary",
       false,
       false,
       {0.01, -0.005, 0.004, 0, 0},
       {0, 0, 0, 0},
       {4.157, 4.157, 4.157, 90, 90, 90},
       {0, 0},
       8},
      // spread by the axial divergence, unequal and equal S/L and H/L, leaning as well
      {"axial_pseudo_voigt",
       true,
       true,
       {0.01, -0.005, 0.004, 0.02, 0.015},
       {0, 0, 0, 0},
       {4.157, 4.157, 4.157, 90, 90, 90},
       {0.035, 0.015}},
      {"axial_leaning_gaussian",
       false,
       false,
       {0.01, -0.005, 0.004, 0, 0},
       {0.04, -0.02, -0.01, 0.005},
       {4.157, 4.31, 4.62, 86, 95.5, 100.5},
       {0.025, 0.025}},
  };
  for (const Case& c : cases) {
    PatternModel model(setup_of(c));
    std::vector<double> p = parameters_of(c);
    std::vector<std::size_t> columns;
    for (std::size_t j = 0; j < p.size(); ++j)
      if (model.analytic(j) &&
          (c.pseudo_voigt || j < ParameterIndex::profile + 3 || j >= ParameterIndex::asymmetry) &&
          (c.axial[0] > 0 || j < ParameterIndex::axial || j >= ParameterIndex::axial + 2))
        columns.push_back(j);
    ASSERT_EQ(columns.size(), (c.pseudo_voigt ? 23u : 21u) + (c.axial[0] > 0 ? 2u : 0u)) << c.name;
    std::vector<double> y(model.points());
    model.calculate(p, y);
    Eigen::MatrixXd d =
        Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(y.size()), static_cast<Eigen::Index>(columns.size()));
    model.derivatives(p, y, columns, d);
    // With S/L = H/L the kernel has a kink (it depends on |H - S|), and a
    // refinement moves the two together: there the check is along S/L = H/L,
    // the sum of the two columns.
    const bool equal = c.axial[0] > 0 && c.axial[0] == c.axial[1];
    for (std::size_t c_index = 0; c_index < columns.size(); ++c_index) {
      const std::size_t j = columns[c_index];
      if (equal && j == ParameterIndex::axial + 1) continue;
      // One-sided from a Lorentzian width of nought, which may only grow.
      const bool one_sided = p[j] == 0 && j < ParameterIndex::asymmetry;
      const double h = 1e-6 * std::max(std::abs(p[j]), 0.01);
      std::vector<double> up = p, down = p, y_up(y.size()), y_down(y.size());
      const bool diagonal = equal && j == ParameterIndex::axial;
      for (std::size_t moved = j; moved <= (diagonal ? j + 1 : j); ++moved) {
        up[moved] += h;
        if (!one_sided) down[moved] -= h;
      }
      model.calculate(up, y_up);
      model.calculate(down, y_down);
      double largest = 0, worst = 0;
      for (std::size_t i = 0; i < y.size(); ++i) {
        const double numeric = (y_up[i] - y_down[i]) / (one_sided ? h : 2 * h);
        const auto row = static_cast<Eigen::Index>(i);
        const double exact = d(row, static_cast<Eigen::Index>(c_index)) +
                             (diagonal ? d(row, static_cast<Eigen::Index>(c_index + 1)) : 0.0);
        largest = std::max(largest, std::abs(numeric));
        worst = std::max(worst, std::abs(numeric - exact));
      }
      EXPECT_GT(largest, 0) << c.name << " parameter " << j << " changes nothing";
      // The derivatives stop at 40 widths, the values at 200: what the differences
      // still see beyond, the Lorentzian tails, is a few 1e-4 of a column's largest.
      // A spread peak's reach grows with the spread, and the differences see
      // its edge pass points where the Gaussian is e^-18 of its height.
      const double tail = (c.pseudo_voigt ? 1e-3 : 0.0) + (c.axial[0] > 0 ? 1e-4 : 0.0);
      EXPECT_LT(worst, ((one_sided ? 1e-3 : 1e-5) + tail) * largest)
          << c.name << " parameter " << j << ": " << worst << " of " << largest;
    }
  }
}

}  // namespace
}  // namespace velmora::rietveld
