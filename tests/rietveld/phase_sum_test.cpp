// A mixture of two cubic phases on one instrument: the exact derivatives of
// every parameter they cover agree with differences (the shared zero and
// sample shifts and the asymmetry act on both phases, a phase's own scale, widths and cell on
// it alone), and each block moves its own phase only.
#include "rietveld/phase_sum.hpp"

#include <gtest/gtest.h>

#include "difference_check.hpp"

namespace velmora::rietveld {
namespace {

PatternSetup phase_setup(std::vector<PeakGroup> groups, int background_terms) {
  PatternSetup s;
  s.groups = std::move(groups);
  s.lines = {{1.0, 1.0}, {1.002485, 0.5}};
  s.xray = true;
  s.pseudo_voigt = true;
  s.background_terms = background_terms;
  for (double x = 18; x <= 60; x += 0.01) s.x.push_back(x);
  return s;
}

struct Mixture {
  PhaseSum model;
  std::vector<double> p;
};

Mixture mixture() {
  std::vector<PatternSetup> setups;
  setups.push_back(
      phase_setup({{{1, 0, 0}, 40, 6, {}, {}}, {{1, 1, 0}, 90, 12, {}, {}}, {{1, 1, 1}, 25, 8, {}, {}}}, 3));
  setups.push_back(
      phase_setup({{{1, 1, 1}, 70, 8, {}, {}}, {{2, 2, 0}, 50, 12, {}, {}}, {{3, 1, 1}, 30, 24, {}, {}}}, 0));
  Mixture m{PhaseSum(std::move(setups)), {}};
  std::vector<double>& p = m.p;
  p.assign(m.model.block_of(1) + PhaseBlock::size, 0.0);
  p[ParameterIndex::scale] = 2.5, p[ParameterIndex::zero] = 0.03, p[ParameterIndex::displacement] = -0.02;
  p[ParameterIndex::transparency] = 0.01, p[ParameterIndex::wavelength] = 1.5406;
  const std::array<double, 5> widths = {0.01, -0.005, 0.004, 0.02, 0.015};
  for (std::size_t k = 0; k < 3; ++k)
    p[ParameterIndex::cell + k] = 4.157, p[ParameterIndex::cell + 3 + k] = 90;
  for (std::size_t k = 0; k < 5; ++k) p[ParameterIndex::profile + k] = widths[k];
  const std::array<double, 4> leaning = {-0.05, 0.01, 0.03, -0.004};
  for (std::size_t k = 0; k < 4; ++k) p[ParameterIndex::asymmetry + k] = leaning[k];
  p[ParameterIndex::axial] = 0.03, p[ParameterIndex::axial + 1] = 0.012;
  p[ParameterIndex::background] = 10, p[ParameterIndex::background + 1] = -2,
  p[ParameterIndex::background + 2] = 1;
  const std::size_t b = m.model.block_of(1);
  p[b + PhaseBlock::scale] = 1.5;
  for (std::size_t k = 0; k < 3; ++k)
    p[b + PhaseBlock::cell + k] = 5.431, p[b + PhaseBlock::cell + 3 + k] = 90;
  for (std::size_t k = 0; k < 5; ++k) p[b + PhaseBlock::profile + k] = 1.2 * widths[k];
  return m;
}

TEST(PhaseSum, ExactDerivativesAgreeWithDifferences) {
  Mixture m = mixture();
  std::vector<std::size_t> columns;
  for (std::size_t j = 0; j < m.p.size(); ++j)
    if (m.model.analytic(j)) columns.push_back(j);
  // every parameter: the 22 of the first phase's layout and its 3 background terms, and the
  // second's block of 12 (scale, cell, widths)
  ASSERT_EQ(columns.size(), 37u);
  const std::vector<ColumnAgreement> agreement = compare_with_differences(m.model, m.p, columns);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    EXPECT_GT(agreement[c].largest, 0) << "parameter " << columns[c] << " changes nothing";
    // (the derivatives stop at 40 widths, the values at 200: the Lorentzian tails
    // beyond are a few 1e-4 of a column's largest)
    EXPECT_LT(agreement[c].worst, 1e-3 * agreement[c].largest)
        << "parameter " << columns[c] << ": " << agreement[c].worst << " of " << agreement[c].largest;
  }
}

TEST(PhaseSum, EachCellMovesItsOwnPhase) {
  Mixture m = mixture();
  std::vector<double> y(m.model.points());
  m.model.calculate(m.p, y);
  const std::vector<double> first = m.model.phase(0).unit_peaks(), second = m.model.phase(1).unit_peaks();
  for (const std::size_t cell : {ParameterIndex::cell, m.model.block_of(1) + PhaseBlock::cell}) {
    std::vector<double> p = m.p;
    for (std::size_t k = 0; k < 3; ++k) p[cell + k] *= 1.001;
    m.model.calculate(p, y);
    const bool own_first = cell == ParameterIndex::cell;
    EXPECT_EQ(m.model.phase(0).unit_peaks() == first, !own_first) << "cell at " << cell;
    EXPECT_EQ(m.model.phase(1).unit_peaks() == second, own_first) << "cell at " << cell;
  }
}

}  // namespace
}  // namespace velmora::rietveld
