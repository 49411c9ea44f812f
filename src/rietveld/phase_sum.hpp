// The calculated pattern of a mixture: each phase's peaks from its own scale,
// cell and peak widths, on one instrument (zero, sample shifts, wavelength)
// and over one background. The first phase's parameters keep the pattern
// model's layout; each further phase adds a block of its own after them, and
// the structures' parameters, phase after phase, come last.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "refine/least_squares.hpp"
#include "rietveld/pattern_model.hpp"

namespace velmora::rietveld {

// A further phase's own parameters, in the order of its block.
struct PhaseBlock {
  static constexpr std::size_t scale = 0, cell = 1, profile = 7, size = 12;
};

class PhaseSum : public refine::Model {
 public:
  // The first setup carries the background; the others have none of their own.
  explicit PhaseSum(std::vector<PatternSetup> phases);
  std::size_t points() const override { return phases_.front().points(); }
  void calculate(std::span<const double> p, std::span<double> y) override;
  bool analytic(std::size_t j) const override;
  void derivatives(std::span<const double> p, std::span<const double> y, std::span<const std::size_t> columns,
                   Eigen::Ref<Eigen::MatrixXd> d) override;

  std::size_t phase_count() const { return phases_.size(); }
  // Where phase k's block starts in the whole vector (k >= 1).
  std::size_t block_of(std::size_t k) const { return first_size_ + (k - 1) * PhaseBlock::size; }
  // Where phase k's structure parameters start in the whole vector.
  std::size_t structure_of(std::size_t k) const { return structure_first_[k]; }
  // Phase k's parameters in the pattern model's layout.
  std::vector<double> phase_parameters(std::size_t k, std::span<const double> p) const;
  const PatternModel& phase(std::size_t k) const { return phases_[k]; }
  PatternModel& phase(std::size_t k) { return phases_[k]; }

 private:
  // Phase k's parameter that whole-vector index j is, if it has one.
  bool local_index(std::size_t k, std::size_t j, std::size_t& local) const;

  std::vector<PatternModel> phases_;
  std::size_t first_size_ = 0;  // the first phase's parameters with the background
  std::vector<std::size_t> structure_first_;
};

}  // namespace velmora::rietveld
