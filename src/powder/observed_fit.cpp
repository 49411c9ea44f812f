// The fit takes each phase's pattern, its peaks merged where they coincide,
// as one column of a linear fit at each trial zero shift; the refinement
// starts from that fit. The scale's meaning is spelt out in words for the
// report, since other programs' conventions differ by its factors.
#include "powder/observed_fit.hpp"

#include <cmath>

#include "powder/excluded_ranges.hpp"
#include "powder/number_text.hpp"
#include "powder/powder_profile.hpp"
#include "powder/tables_folder.hpp"
#ifdef VELMORA_POWDER_FIT
#include "rietveld/cell_freedom.hpp"
#include "rietveld/pattern_model.hpp"
#endif

namespace velmora::powder {
namespace {

Intensity kind_of(Radiation radiation) {
  return radiation == Radiation::xray ? Intensity::xray : Intensity::neutron_total;
}

double narrowest_width(const std::vector<FitPhase>& phases, const PeakWidth& width,
                       const ObservedPattern& o) {
  double narrowest = INFINITY;
  for (const FitPhase& phase : phases)
    for (const PowderPeak& p : phase.peaks)
      if (p.two_theta >= o.two_theta.front() - 5 && p.two_theta <= o.two_theta.back() + 5)
        narrowest = std::min(narrowest, width.at(p));
  return std::isfinite(narrowest) ? narrowest : 0.1;
}

// The scale's meaning: the measured peak area per unit of the integrated
// intensity the reflections table lists, whose factors are named here since
// other programs' conventions differ by them (a polarisation factor without
// the 1/2, neutron lengths in fm rather than 10^-12 cm).
std::string scale_meaning(Intensity kind, const Polarisation& beam) {
  const std::string f = shortest_text(static_cast<float>(beam.perpendicular));
  const std::string xray =
      beam.unpolarised()
          ? "I_xray_electron2 = |FX|^2 (electrons^2) (1 + cos^2 2theta) / (2 sin^2 theta cos theta)"
          : "I_xray_electron2 = |FX|^2 (electrons^2) (" + f + " + (1 - " + f +
                ") cos^2 2theta) / (sin^2 theta cos theta)";
  return std::string(
             "peak area (intensity x degrees 2theta) per unit of the integrated intensity of "
             "--reflections, ") +
         (kind == Intensity::xray
              ? xray
              : "I_nuclear_barn + I_magnetic_barn = (|Fn|^2 + |Fm|^2) (barn) / (sin^2 theta cos theta)") +
         " x the line's ratio, each equivalent h k l a peak of its own";
}

// A phase's peaks as its row of ticks shows them: for neutrons a further
// phase's nuclear and magnetic intensity together, in one row.
std::vector<PowderPeak> tick_peaks(std::vector<PowderPeak> peaks, Intensity kind) {
  if (kind != Intensity::xray)
    for (PowderPeak& p : peaks) p.nuclear += p.magnetic, p.magnetic = 0;
  return peaks;
}

}  // namespace

ObservedFit fit_observed(const PowderOptions& options, const ObservedPattern& observed,
                         const std::vector<FitPhase>& phases, Remarks& remarks, double mu_r) {
  const Intensity kind = kind_of(options.radiation);
  std::vector<std::vector<PowderPeak>> merged;
  for (const FitPhase& phase : phases) merged.push_back(merged_peaks(phase.peaks));
  std::vector<ShiftedPattern> patterns;
  for (const std::vector<PowderPeak>& m : merged)
    patterns.emplace_back([&m, &options, kind](const std::vector<double>& x, double shift) {
      return pattern_at(m, options.width, kind, x, shift);
    });
  ObservedFit out;
  const std::vector<bool> excluded = excluded_points(observed, options.excluded, remarks);
  out.fit = fit_pattern(observed, patterns, options.background_terms,
                        narrowest_width(phases, options.width, observed), options.zero_range,
                        options.zero_centre, excluded);
  out.fit.scale_means = scale_meaning(kind, options.polarisation);
  if (mu_r > 0)
    out.fit.scale_means +=
        " x A(theta), the cylinder's transmission at mu R " + shortest_text(static_cast<float>(mu_r));
  out.ticks.push_back(phases.front().peaks);
  for (std::size_t k = 1; k < phases.size(); ++k) out.ticks.push_back(tick_peaks(phases[k].peaks, kind));
#ifdef VELMORA_POWDER_FIT
  if (options.refine) {
    rietveld::RefineChoice choice = *options.refine;
    rietveld::settle_all(choice, kind == Intensity::xray);
    rietveld::PatternStart start{
        {}, options.lines, options.width, kind == Intensity::xray, options.polarisation, out.fit};
    start.axial = options.axial;
    start.mu_r = mu_r;
    // All the profile a constant-wavelength peak carries is the pseudo-Voigt:
    // a Gaussian law gains the Lorentzian widths, from none.
    if (choice.all && !start.width.tch) {
      const std::array<double, 3> gaussian =
          start.width.caglioti ? *start.width.caglioti
                               : std::array<double, 3>{0, 0, start.width.fwhm * start.width.fwhm};
      start.width.tch = TchParameters{gaussian[0], gaussian[1], gaussian[2], 0, 0};
      remarks.note(
          "--refine all: the peaks are pseudo-Voigt (Thompson, Cox & Hastings), their Lorentzian widths "
          "X Y refined from 0 beside the Gaussian's U V W");
    }
    for (std::size_t k = 0; k < phases.size(); ++k) {
      const FitPhase& phase = phases[k];
      std::shared_ptr<rietveld::StructureWeights> structure;
      if (choice.refines_structure())
        structure = std::make_shared<rietveld::StructureWeights>(
            rietveld::PhaseStructure(phase.crystal, choice,
                                     k == 0 ? "" : "phase." + std::to_string(k + 1) + ".", remarks),
            powder_tables_folder(options.tables), rietveld::distinct_reflections(phase.peaks),
            kind == Intensity::xray, phase.corrections);
      start.phases.push_back({phase.peaks, phase.crystal.cell,
                              rietveld::cell_freedom(phase.crystal.cell, phase.crystal.operations),
                              structure});
    }
    out.refinement = rietveld::refine_pattern(observed, start, choice);
    out.fit = out.refinement->fit;
    out.ticks = out.refinement->phase_peaks;
    for (const std::string& held : out.refinement->held) remarks.warn(held);
    for (const std::string& caution : out.refinement->cautions) remarks.warn(caution);
    if (!out.refinement->converged)
      remarks.warn("the refinement did not converge: " + out.refinement->stop_reason);
  }
  const bool refined = out.refinement.has_value();
#else
  const bool refined = false;
#endif
  const PatternFit& fit = out.fit;
  const auto f = [](double v) { return shortest_text(static_cast<float>(v)); };
  for (std::size_t k = 0; fit.scales.size() > 1 && k < fit.scales.size(); ++k)
    if (!(fit.scales[k] > 0))
      remarks.warn("phase " + std::to_string(k + 1) + " (" + phases[k].crystal.source + ") ends with scale " +
                   f(fit.scales[k]) + ": the measured pattern shows none of its peaks");
  if (!refined && std::abs(std::abs(fit.zero_shift - options.zero_centre) - options.zero_range) < 1e-3 &&
      options.zero_range > 0)
    remarks.warn("the zero shift found lies at the edge of the range searched (" +
                 (options.zero_centre == 0 ? "" : f(options.zero_centre) + "° ") + "±" +
                 f(options.zero_range) + "°); widen it with --zero-range");
  return out;
}

}  // namespace velmora::powder
