// The fit of a measured pattern, and its refinement when asked, for every
// front end alike: the phases' peaks in, the fitted or refined values, the
// agreement and each phase's peaks for the ticks out, with warnings for what
// a user should know of the result.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_peaks.hpp"
#include "scattering/atom_corrections.hpp"
#ifdef VELMORA_POWDER_FIT
#include "rietveld/pattern_refinement.hpp"
#endif

namespace velmora::powder {

// A phase of the measured sample: its crystal, its peaks at every line, and
// the corrections to its atoms' free-atom scattering at the first (strongest)
// line's wavelength, with which a refinement recomputes its structure factors.
struct FitPhase {
  const Crystal& crystal;
  const std::vector<PowderPeak>& peaks;
  AtomCorrections corrections;
};

struct ObservedFit {
  PatternFit fit;  // at the refined values when refined
#ifdef VELMORA_POWDER_FIT
  std::optional<rietveld::PatternRefinement> refinement;
#endif
  // Each phase's peaks as its row of ticks shows them (moved by the zero shift when drawn).
  std::vector<std::vector<PowderPeak>> ticks;
};

// Fits the scales, zero and background to the options' radiation, then
// refines what options.refine names, both leaving out the points within the
// ranges of options.excluded (fit.excluded marks them). Warns of a phase with no positive scale,
// a refinement that did not converge and a zero shift at the edge of its search.
// mu_r: the sample's absorption, which the phases' peaks carry and the
// refinement computes at each Bragg angle it moves.
ObservedFit fit_observed(const PowderOptions& options, const ObservedPattern& observed,
                         const std::vector<FitPhase>& phases, Remarks& remarks, double mu_r = 0);

}  // namespace velmora::powder
