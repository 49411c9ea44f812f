// The refinement of a calculated pattern against a measured one: from the
// fit of scale, zero and background as the starting point, the chosen groups
// of parameters refined by weighted least squares, with their standard
// uncertainties, the agreement factors and what the engine reports.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "powder/beam_polarisation.hpp"
#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"
#include "powder/radiation_source.hpp"
#include "rietveld/cell_freedom.hpp"
#include "rietveld/refine_choice.hpp"
#include "rietveld/structure_weights.hpp"

namespace velmora::rietveld {

// A phase of the mixture: its peaks (every line's), its cell and what its
// symmetry leaves free of it.
struct PhaseStart {
  std::vector<powder::PowderPeak> peaks;
  CellParameters cell{};
  CellFreedom freedom;
  std::shared_ptr<StructureWeights> structure;  // none: the peaks keep their |F|^2
};

// What the refinement starts from: the phases (the run's input first), the
// source, the peak shape, and the fit of the scales, zero and background.
struct PatternStart {
  std::vector<PhaseStart> phases;
  std::vector<powder::SourceLine> lines;
  powder::PeakWidth width;
  bool xray = false;
  powder::Polarisation polarisation;  // of an X-ray beam
  powder::PatternFit fit;             // its sigma are the weights the refinement starts with
  std::array<double, 4> asymmetry{};  // P1..P4 to start from; all 0: symmetric peaks
  std::array<double, 2> axial{};      // S/L, H/L to start from; 0 0 and refined: kAxialStart each
  double mu_r = 0;                    // a cylinder's mu R: each peak times its transmission
};

struct RefinedValue {
  std::string name;  // "scale", "zero", "cell.a", "profile.U", "background.0", "phase.2.scale"
  double value = 0, esd = 0;
  bool refined = false;
  std::string follows;  // for a tied value: what it follows ("cell.a")
};

struct NamedCorrelation {
  std::string first, second;
  double value = 0;
};

struct PatternRefinement {
  std::vector<RefinedValue> values;
  std::vector<NamedCorrelation> correlations;  // |value| > 0.9
  std::vector<std::string> at_bound;
  std::vector<std::string> held;  // structure parameters held because the pattern cannot fix them, and why
  std::vector<std::string> cautions;  // refined values no physical structure has (U_ij not positive definite)
  int iterations = 0;
  bool converged = false;
  std::string stop_reason;
  std::vector<std::string> cell_bases;  // how each phase's free cell parameters were found
  powder::PatternFit fit;  // scales, zero, background, R factors and the calculated pattern at the result
  // Each phase's peaks at their refined positions less the zero (for ticks).
  std::vector<std::vector<powder::PowderPeak>> phase_peaks;
  // Each phase's crystal at the refined structure (none: its structure was not refined).
  std::vector<std::optional<Crystal>> crystals;
};

// Refines the chosen groups, each phase's scale, cell and widths and the
// instrument's parameters shared by them; ends the run (fail_powder) with the
// engine's refusal, naming the parameter.
PatternRefinement refine_pattern(const powder::ObservedPattern& observed, const PatternStart& start,
                                 const RefineChoice& choice);

}  // namespace velmora::rietveld
