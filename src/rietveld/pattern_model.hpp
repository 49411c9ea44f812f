// The calculated powder pattern as a function of the parameters a refinement
// changes: the cell and the wavelength move every peak, the zero, the sample
// displacement and the transparency shift it, Caglioti's U V W and the
// Thompson-Cox-Hastings X Y shape it, four asymmetry coefficients lean it
// (Berar & Baldinozzi) and the axial divergence S/L, H/L spreads it (Finger,
// Cox & Jephcoat), the scale and a Chebyshev background complete it. Each
// peak keeps its |F|^2, unless the structure is refined: its parameters follow
// the background, and its weights are then its reflections' |F|^2 at them.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "powder/beam_polarisation.hpp"
#include "powder/powder_peaks.hpp"
#include "refine/least_squares.hpp"
#include "rietveld/axial_divergence.hpp"
#include "rietveld/cell_freedom.hpp"
#include "rietveld/structure_weights.hpp"

namespace velmora::rietveld {

// Reflections whose d-spacing is the same function of the cell (equivalent
// ones, and those of one h^2 + k^2 + l^2 in a cubic cell): one peak, their
// squared moduli summed.
struct PeakGroup {
  std::array<double, 3> h{};  // one of them
  double weight = 0;          // sum of |Fn|^2 + |Fm|^2 (barn), or of |FX|^2 (electrons^2), at the first line
  int members = 0;
  std::vector<std::size_t> reflections;  // the members, as indices into distinct_reflections()
  // Each further line's weight as a share of the first line's, as the peaks
  // give them: with X-ray dispersion every line has its own f' and f''. The
  // shares hold while the structure is refined, whose changes move the lines'
  // weights alike to far better than the shares' own departure from 1.
  std::vector<double> line_shares;  // empty: every line the first's weight
  double share(std::size_t line) const { return line < line_shares.size() ? line_shares[line] : 1.0; }
};

// Each h k l of the peaks once, whichever lines list it, in the order the
// groups' members count them.
std::vector<Reflection> distinct_reflections(const std::vector<powder::PowderPeak>& peaks);

// A line of the source: its wavelength as a multiple of the first line's, so
// that refining the wavelength moves every line alike, and its intensity ratio.
struct LineOfSource {
  double factor = 1, ratio = 1;
};

// Where each parameter sits in the vector the engine refines.
struct ParameterIndex {
  static constexpr std::size_t scale = 0, zero = 1, displacement = 2, transparency = 3, wavelength = 4;
  static constexpr std::size_t cell = 5;        // a b c alpha beta gamma
  static constexpr std::size_t profile = 11;    // U V W X Y
  static constexpr std::size_t asymmetry = 16;  // P1 P2 P3 P4
  static constexpr std::size_t axial = 20;      // S/L H/L
  static constexpr std::size_t background = 22;
};

struct PatternSetup {
  std::vector<PeakGroup> groups;
  std::vector<LineOfSource> lines;
  bool xray = false;  // X-rays carry the polarisation factor of their beam
  powder::Polarisation polarisation;
  double mu_r = 0;            // a cylinder's mu R: each peak's area times its transmission A(theta)
  bool pseudo_voigt = false;  // the Lorentzian widths X Y take part
  int background_terms = 0;
  std::vector<double> x;  // the measured 2-theta, sorted, degrees
  // The refined structure, whose parameters follow the background; none: the groups keep their weights.
  std::shared_ptr<StructureWeights> structure;
};

// The groups of the peaks, each kind of intensity the run fits (X-ray or
// neutron total) with the first source line's weight and the other lines'
// shares of it (lines: the source's wavelengths, first first); reflections stay
// in one group only while the cell's free parameters keep their d-spacings equal.
std::vector<PeakGroup> peak_groups(const std::vector<powder::PowderPeak>& peaks, bool xray,
                                   const CellParameters& cell, const CellFreedom& freedom,
                                   const std::vector<double>& lines = {});

class PatternModel : public refine::Model {
 public:
  explicit PatternModel(PatternSetup setup);
  std::size_t points() const override { return setup_.x.size(); }
  void calculate(std::span<const double> p, std::span<double> y) override;
  bool analytic(std::size_t j) const override;
  void derivatives(std::span<const double> p, std::span<const double> y, std::span<const std::size_t> columns,
                   Eigen::Ref<Eigen::MatrixXd> d) override;

  // The Bragg peaks alone (no background) of the last calculate, unscaled.
  const std::vector<double>& unit_peaks() const { return peaks_; }
  // The background at every point for the parameters p.
  std::vector<double> background(std::span<const double> p) const;
  // The peak position at p of each group the first line reaches: the group's
  // index and its 2-theta in degrees (for the plot's ticks).
  std::vector<std::pair<std::size_t, double>> positions(std::span<const double> p) const;
  const std::vector<PeakGroup>& groups() const { return setup_.groups; }
  // Where the structure's parameters start, and how many there are.
  std::size_t structure_first() const {
    return ParameterIndex::background + static_cast<std::size_t>(setup_.background_terms);
  }
  std::size_t structure_size() const { return setup_.structure ? setup_.structure->parameters() : 0; }

  // Le Bail's partition of the measured peaks (Le Bail, Duroy & Fourquet,
  // Mat. Res. Bull. 23 (1988) 447): each group's share of the net observed
  // counts, apportioned point by point as the calculated peaks share them,
  // over its calculated share. net_observed is observed less background, and
  // net_calculated the Bragg part of every phase at p (scaled), not positive
  // at a point that takes no part; a group's weight times its ratio is its
  // extracted intensity.
  std::vector<double> le_bail_ratios(std::span<const double> p, std::span<const double> net_observed,
                                     std::span<const double> net_calculated) const;
  // The groups' weights replaced (extracted intensities), in the order of groups().
  void set_weights(std::span<const double> weights);

 private:
  PatternSetup setup_;
  std::vector<std::vector<double>> chebyshev_;  // the background's terms at each point
  std::vector<double> peaks_;
  std::vector<double> peaks_at_;  // the parameters peaks_ was calculated at
  // Each peak's (group by line) axial node counts, fixed at the first
  // calculation so that the pattern is a smooth function of the parameters.
  std::vector<std::optional<AxialCounts>> axial_counts_;
  std::vector<double> structure_at_;  // the structure's values the groups' weights are at

  // The groups' weights at the structure's values v.
  std::vector<double> group_weights(std::span<const double> v);
  void set_structure(std::span<const double> p);
};

}  // namespace velmora::rietveld
