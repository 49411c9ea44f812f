// The parameters are laid out as the pattern model reads them, each named,
// bounded where physics bounds it, refined when its group is chosen and the
// symmetry leaves it free. Counts without given sigma are weighted by the
// calculated counts, renewed after each refinement until the result settles:
// the Poisson maximum-likelihood fit, as the fit without refinement does. The
// points the fit left out are left out here too (FittedPoints).
#include "rietveld/pattern_refinement.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "absorption/cylinder_absorption.hpp"
#include "powder/number_text.hpp"
#include "powder/powder_error.hpp"
#include "refine/least_squares.hpp"
#include "rietveld/fitted_points.hpp"
#include "rietveld/pattern_model.hpp"
#include "rietveld/phase_sum.hpp"

namespace velmora::rietveld {
namespace {

using refine::Parameter;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

using refine::named;

// The Caglioti and Lorentzian coefficients of the run's peak shape.
std::array<double, 5> profile_of(const powder::PeakWidth& width) {
  if (width.tch) return {width.tch->u, width.tch->v, width.tch->w, width.tch->x, width.tch->y};
  if (width.caglioti) return {(*width.caglioti)[0], (*width.caglioti)[1], (*width.caglioti)[2], 0, 0};
  return {0, 0, width.fwhm * width.fwhm, 0, 0};
}

// A phase's cell, its first parameter at index `first` of the whole vector:
// the free parameters refined with the cell, the tied ones following them.
void add_cell(std::vector<Parameter>& p, const std::string& prefix, const PhaseStart& phase, bool refined,
              std::size_t first) {
  for (std::size_t j = 0; j < 6; ++j) {
    const bool edge = j < 3;
    Parameter cell =
        named(prefix + "cell." + kCellNames[j], phase.cell[j],
              refined && phase.freedom.kind[j] == CellFreedom::Kind::free, 0, edge ? kInfinity : 180);
    if (refined && phase.freedom.kind[j] == CellFreedom::Kind::tied) {
      refine::Tie tie;
      tie.offset = phase.cell[j];
      for (std::size_t k = 0; k < 6; ++k)
        if (const double c = phase.freedom.follows[j][k]; c != 0) {
          tie.terms.emplace_back(first + k, c);
          tie.offset -= c * phase.cell[k];
        }
      cell.tie = tie;
    }
    p.push_back(cell);
  }
}

const std::array<const char*, 5> kShapeNames = {"U", "V", "W", "X", "Y"};

// S/L and H/L: where a refinement starts them when nothing gives them (a
// laboratory diffractometer's Soller slits of 2 to 5 degrees and its sample
// height make some 0.01 to 0.03), and the least and most they may reach. At
// nought one of them no longer widens the density (the other piece of it
// vanishes), and the two would move the peaks alike: the least is a
// millimetre's fraction of a radius, narrower than any real slit.
constexpr double kAxialStart = 0.02, kLeastAxial = 1e-3, kMostAxial = 0.25;

// The first phase's parameters in the pattern model's layout, then the
// background, then each further phase's block (PhaseBlock). A further phase's
// widths follow the first phase's: the instrument's resolution mostly sets
// them, and a minor phase's few, weak peaks cannot fix five width parameters
// of their own (left free, its Gaussian width collapses into its Lorentzian
// one where the two overlap).
std::vector<Parameter> parameters_of(const PatternStart& s, const RefineChoice& choice, bool pseudo_voigt,
                                     const PhaseSum& model) {
  using G = ParameterGroup;
  std::vector<Parameter> p;
  p.push_back(named("scale", s.fit.scales.front(), choice.has(G::scale)));
  p.push_back(named("zero", s.fit.zero_shift, choice.has(G::zero)));
  p.push_back(named("displacement", 0, choice.has(G::displacement)));
  p.push_back(named("transparency", 0, choice.has(G::transparency)));
  p.push_back(named("wavelength", s.lines.front().wavelength, choice.has(G::wavelength), 0));
  add_cell(p, "", s.phases.front(), choice.has(G::cell), ParameterIndex::cell);
  const std::array<double, 5> shape = profile_of(s.width);
  const auto add_profile = [&](const std::string& prefix, bool follows_first) {
    for (std::size_t j = 0; j < 5; ++j) {
      const bool lorentzian = j >= 3, follows = follows_first;
      Parameter width = named(prefix + "profile." + kShapeNames[j], shape[j],
                              choice.has(G::profile) && (!lorentzian || pseudo_voigt) && !follows,
                              lorentzian ? 0 : -kInfinity);
      if (follows && choice.has(G::profile) && (!lorentzian || pseudo_voigt))
        width.tie = refine::Tie{{{ParameterIndex::profile + j, 1.0}}, 0.0};
      p.push_back(width);
    }
  };
  add_profile("", false);
  // The instrument's axial divergence leans every phase's peaks alike.
  for (std::size_t j = 0; j < 4; ++j)
    p.push_back(named("asymmetry.P" + std::to_string(j + 1), s.asymmetry[j], choice.has(G::asymmetry)));
  // S/L and H/L, refined: from the instrument's values, or from a laboratory
  // diffractometer's typical divergence. The kernel is the same with the two
  // swapped, so where they are equal the data cannot tell them apart: H/L
  // follows S/L then.
  const bool axial = choice.has(G::axial);
  // Not refined, there is none, as in the pattern without a refinement.
  std::array<double, 2> spread{};
  if (axial) {
    spread = s.axial[0] == 0 && s.axial[1] == 0 ? std::array<double, 2>{kAxialStart, kAxialStart} : s.axial;
    for (double& v : spread) v = std::clamp(v, kLeastAxial, kMostAxial);
  }
  p.push_back(named("axial.S_L", spread[0], axial, axial ? kLeastAxial : 0, kMostAxial));
  Parameter h_l =
      named("axial.H_L", spread[1], axial && spread[0] != spread[1], axial ? kLeastAxial : 0, kMostAxial);
  if (axial && spread[0] == spread[1]) h_l.tie = refine::Tie{{{ParameterIndex::axial, 1.0}}, 0.0};
  p.push_back(h_l);
  for (std::size_t t = 0; t < s.fit.background.size(); ++t)
    p.push_back(named("background." + std::to_string(t), s.fit.background[t], choice.has(G::background)));
  for (std::size_t k = 1; k < s.phases.size(); ++k) {
    const std::string prefix = "phase." + std::to_string(k + 1) + ".";
    p.push_back(named(prefix + "scale", s.fit.scales[k], choice.has(G::scale)));
    add_cell(p, prefix, s.phases[k], choice.has(G::cell), model.block_of(k) + PhaseBlock::cell);
    add_profile(prefix, true);
  }
  for (std::size_t k = 0; k < s.phases.size(); ++k)
    if (s.phases[k].structure)
      for (refine::Parameter& q : s.phases[k].structure->structure().parameters(model.structure_of(k)))
        p.push_back(std::move(q));
  return p;
}

// Whether parameter j is a phase's structure's.
bool is_structure(const PhaseSum& model, std::size_t j) { return j >= model.structure_of(0); }

// Below this (Bohr magnetons) a moment's component the pattern no longer moves is nought.
constexpr double kNoughtMoment = 0.01;

// Whether parameter j is a component of a phase's moment.
bool is_moment_component(const PhaseSum& model, const PatternStart& start, std::size_t j) {
  for (std::size_t k = 0; k < start.phases.size(); ++k) {
    if (!start.phases[k].structure || j < model.structure_of(k)) continue;
    const std::size_t m = j - model.structure_of(k);
    const std::vector<StructureSlot>& slots = start.phases[k].structure->structure().slots();
    if (m >= slots.size()) continue;
    const StructureSlot::What what = slots[m].what;
    return what == StructureSlot::What::mx || what == StructureSlot::What::my ||
           what == StructureSlot::What::mz;
  }
  return false;
}

// Whether parameter j shapes the peaks: a phase's width, or the asymmetry.
bool is_width(const PhaseSum& model, std::size_t j) {
  if (j >= ParameterIndex::profile && j < ParameterIndex::background) return true;
  for (std::size_t k = 1; k < model.phase_count(); ++k)
    if (j >= model.block_of(k) + PhaseBlock::profile && j < model.block_of(k) + PhaseBlock::size) return true;
  return false;
}

// The R factors with the weights of the refinement over the points fitted, P
// its refined parameters.
void agreement(const powder::ObservedPattern& o, powder::PatternFit& fit, std::size_t refined) {
  double chi_squared = 0, weighted_y_squared = 0, absolute_difference = 0, absolute_observed = 0;
  std::size_t fitted = 0;
  for (std::size_t i = 0; i < o.intensity.size(); ++i) {
    if (!fit.excluded.empty() && fit.excluded[i]) continue;
    ++fitted;
    const double w = 1.0 / (fit.sigma[i] * fit.sigma[i]);
    const double difference = o.intensity[i] - fit.calculated[i];
    chi_squared += w * difference * difference;
    weighted_y_squared += w * o.intensity[i] * o.intensity[i];
    absolute_difference += std::abs(difference);
    absolute_observed += std::abs(o.intensity[i]);
  }
  const double freedom = static_cast<double>(fitted - refined);
  fit.rp = absolute_difference / absolute_observed;
  fit.rwp = std::sqrt(chi_squared / weighted_y_squared);
  fit.rexp = std::sqrt(freedom / weighted_y_squared);
  fit.chi2 = chi_squared / freedom;
}

std::vector<double> values_of(const std::vector<Parameter>& parameters) {
  std::vector<double> values;
  for (const Parameter& p : parameters) values.push_back(p.value);
  return values;
}

std::string follows_text(const Parameter& p, const std::vector<Parameter>& all) {
  if (!p.tie) return {};
  std::string text;
  for (const auto& [k, c] : p.tie->terms)
    text += (text.empty() ? "" : " + ") + (c == 1 ? std::string() : shortest_text(c) + " ") + all[k].name;
  return text;
}

// The parameters named by --fix held at their start: each must be one the
// groups refine, not one that follows another (whose own is to be fixed).
void hold_fixed(std::vector<Parameter>& parameters, const std::vector<std::string>& fixed) {
  for (const std::string& name : fixed) {
    const auto p = std::find_if(parameters.begin(), parameters.end(),
                                [&](const Parameter& q) { return q.name == name; });
    if (p == parameters.end()) {
      std::string refined;
      for (const Parameter& q : parameters)
        if (q.refined) refined += (refined.empty() ? "" : ", ") + q.name;
      powder::fail_powder("--fix " + name + ": no parameter of that name; the refined ones are " +
                          (refined.empty() ? "none" : refined));
    }
    if (p->tie)
      powder::fail_powder("--fix " + name + ": it follows " + follows_text(*p, parameters) +
                          " by symmetry or a constraint; fix what it follows");
    if (!p->refined)
      powder::fail_powder("--fix " + name +
                          ": it is not refined (--refine names no group of it, or the symmetry "
                          "holds it)");
    p->refined = false;
  }
}

// A moment's size from its refined components, its esd from their
// covariance: sigma^2 = g' C g, g the size's gradient by the refined
// parameters (a tied component passing its part on to those it follows).
RefinedValue moment_size(const MomentSize& m, const StructureWeights& structure, std::size_t first,
                         const std::vector<Parameter>& parameters, const refine::Result& result) {
  const std::vector<double> all = values_of(parameters);
  std::array<double, 3> by_component{};
  const double size = structure.structure().moment_size(
      m, std::span<const double>(all).subspan(first, structure.parameters()), by_component);
  std::vector<double> gradient(parameters.size(), 0.0);
  for (std::size_t j = 0; j < 3; ++j) {
    if (m.slot[j] < 0) continue;
    const Parameter& p = parameters[first + static_cast<std::size_t>(m.slot[j])];
    if (p.refined)
      gradient[first + static_cast<std::size_t>(m.slot[j])] += by_component[j];
    else if (p.tie)
      for (const auto& [k, c] : p.tie->terms) gradient[k] += c * by_component[j];
  }
  double variance = 0;
  const std::vector<std::size_t>& refined = result.refined_indices;
  for (std::size_t a = 0; a < refined.size(); ++a)
    for (std::size_t b = 0; b < refined.size(); ++b)
      variance += gradient[refined[a]] * gradient[refined[b]] * result.esd[refined[a]] *
                  result.esd[refined[b]] *
                  result.correlation(static_cast<Eigen::Index>(a), static_cast<Eigen::Index>(b));
  std::string components;
  for (std::size_t j = 0; j < 3; ++j)
    if (m.slot[j] >= 0)
      components +=
          (components.empty() ? "" : ", ") + parameters[first + static_cast<std::size_t>(m.slot[j])].name;
  return {m.name, size, std::sqrt(std::max(variance, 0.0)), false, "|" + components + "|"};
}

constexpr int kLeBailRounds = 4;
constexpr double kLeBailTrace = 1e-4;  // of a phase's mean intensity a reflection

// The mean intensity a reflection of the groups stronger than `above` (a
// reflection's share of its group's weight); 0 when none is.
double mean_intensity(const std::vector<PeakGroup>& groups, double above) {
  double total = 0, members = 0;
  for (const PeakGroup& g : groups)
    if (g.weight / g.members > above) total += g.weight, members += g.members;
  return members > 0 ? total / members : 0.0;
}

// Le Bail's start: the scales held (the intensities carry them), and every
// reflection of a phase as strong as every other, those the structure's
// symmetry extinguishes kept absent (their |F|^2 is rounding, some 1e-14 of
// the strongest: below 1e-8 of it a group counts as absent).
void start_le_bail(PhaseSum& model, std::vector<Parameter>& parameters) {
  parameters[ParameterIndex::scale].refined = false;
  for (std::size_t k = 1; k < model.phase_count(); ++k)
    parameters[model.block_of(k) + PhaseBlock::scale].refined = false;
  for (std::size_t k = 0; k < model.phase_count(); ++k) {
    const std::vector<PeakGroup>& groups = model.phase(k).groups();
    double strongest = 0;
    for (const PeakGroup& g : groups) strongest = std::max(strongest, g.weight / g.members);
    const double mean = mean_intensity(groups, 1e-8 * strongest);
    std::vector<double> weights;
    for (const PeakGroup& g : groups)
      weights.push_back(g.weight / g.members > 1e-8 * strongest ? g.members * mean : 0.0);
    model.phase(k).set_weights(weights);
  }
}

// Cycles of Le Bail's extraction at the parameters' values: each group's
// intensity renewed from its share of the net observed counts.
void le_bail_cycles(PhaseSum& model, const std::vector<Parameter>& parameters,
                    const std::vector<double>& observed, const std::vector<bool>& excluded, int cycles) {
  const std::vector<double> values = values_of(parameters);
  std::vector<double> calculated(observed.size());
  for (int cycle = 0; cycle < cycles; ++cycle) {
    model.calculate(values, calculated);
    const std::vector<double> background = model.phase(0).background(model.phase_parameters(0, values));
    std::vector<double> net_observed(observed.size()), net_calculated(observed.size());
    for (std::size_t i = 0; i < observed.size(); ++i) {
      net_observed[i] = observed[i] - background[i];
      // a point left out of the fit takes no part
      net_calculated[i] = !excluded.empty() && excluded[i] ? -1.0 : calculated[i] - background[i];
    }
    std::vector<std::vector<double>> renewed;
    for (std::size_t k = 0; k < model.phase_count(); ++k) {
      const std::vector<double> ratios =
          model.phase(k).le_bail_ratios(model.phase_parameters(k, values), net_observed, net_calculated);
      // A group whose net counts come out negative (a weak peak below a
      // background not yet settled) keeps a trace of its intensity, from which
      // it can grow again; only the absent stay at nought.
      const std::vector<PeakGroup>& groups = model.phase(k).groups();
      const double trace = kLeBailTrace * mean_intensity(groups, 0.0);
      std::vector<double>& weights = renewed.emplace_back();
      for (std::size_t g = 0; g < ratios.size(); ++g)
        weights.push_back(
            groups[g].weight > 0 ? std::max(groups[g].weight * ratios[g], trace * groups[g].members) : 0.0);
    }
    for (std::size_t k = 0; k < model.phase_count(); ++k) model.phase(k).set_weights(renewed[k]);
  }
}

}  // namespace

PatternRefinement refine_pattern(const powder::ObservedPattern& observed, const PatternStart& start,
                                 const RefineChoice& choice) {
  const bool pseudo_voigt = start.width.tch.has_value();
  std::vector<PatternSetup> setups;
  for (const PhaseStart& phase : start.phases) {
    PatternSetup setup;
    std::vector<double> wavelengths;
    for (const powder::SourceLine& line : start.lines) wavelengths.push_back(line.wavelength);
    setup.groups = peak_groups(phase.peaks, start.xray, phase.cell, phase.freedom, wavelengths);
    const double first = start.lines.front().wavelength;
    for (const powder::SourceLine& line : start.lines)
      setup.lines.push_back({line.wavelength / first, line.ratio});
    setup.xray = start.xray;
    setup.polarisation = start.polarisation;
    setup.mu_r = start.mu_r;
    setup.pseudo_voigt = pseudo_voigt;
    setup.background_terms = setups.empty() ? static_cast<int>(start.fit.background.size()) : 0;
    setup.x = observed.two_theta;
    setup.structure = phase.structure;
    setups.push_back(std::move(setup));
  }
  if (choice.le_bail && std::any_of(start.phases.begin(), start.phases.end(),
                                    [](const PhaseStart& p) { return p.structure != nullptr; }))
    powder::fail_powder(
        "--le-bail takes each peak's intensity from the measurement, not from the structure: "
        "refine the structure (xyz, biso, occupancy) without it");
  for (const ParameterGroup g : {ParameterGroup::moments, ParameterGroup::moment_sizes})
    if (start.xray && choice.has(g))
      powder::fail_powder(std::string("--refine ") +
                          (g == ParameterGroup::moments ? "moments" : "moment-sizes") +
                          ": the fit is to X-rays, which the magnetic moments do not scatter; refine them "
                          "against a neutron pattern");
  PhaseSum model(std::move(setups));
  FittedPoints fitted(model, start.fit.excluded);
  const std::vector<double> observed_fitted = fitted.kept(observed.intensity);

  std::vector<Parameter> parameters = parameters_of(start, choice, pseudo_voigt, model);
  hold_fixed(parameters, choice.fixed);
  std::vector<double> sigma = start.fit.sigma;
  // Structure parameters the pattern cannot fix (a polar axis's floating
  // origin, atoms moving together, an atom that does not scatter) are held at
  // their values and named; any other such parameter ends the run.
  std::vector<std::string> held;
  const auto run = [&](std::vector<Parameter>& from) {
    for (;;) {
      try {
        return refine::refine(fitted, from, observed_fitted, fitted.kept(sigma));
      } catch (const refine::RefineError& e) {
        std::vector<std::size_t> hold;
        if (e.refusal() == refine::Refusal::dependent) hold = e.to_hold();
        if (e.refusal() == refine::Refusal::no_effect) hold = e.parameters();
        if (hold.empty() ||
            !std::all_of(hold.begin(), hold.end(), [&](std::size_t j) { return is_structure(model, j); }))
          powder::fail_powder(observed.source + ": the refinement cannot go on: " + e.what());
        // Found where the refinement ended, the parameters go on from there.
        const bool moved = !e.values().empty();
        for (std::size_t j = 0; moved && j < from.size(); ++j) from[j].value = e.values()[j];
        std::string names;
        for (std::size_t j : hold) {
          from[j].refined = parameters[j].refined = false;
          // A moment's component whose derivatives vanish where it ended has
          // gone to the nought at which |F|^2, even in it, is stationary.
          if (moved && is_moment_component(model, start, j) && std::abs(from[j].value) < kNoughtMoment)
            from[j].value = 0;
          parameters[j].value = from[j].value;
          names += (names.empty() ? "" : ", ") + from[j].name;
        }
        const bool one = hold.size() == 1;
        held.push_back(
            names + (one ? " is held at its " : " are held at their ") +
            (moved ? "refined value" : "starting value") + (one ? "" : "s") +
            (moved ? std::string(", where the pattern's derivatives by ") + (one ? "it" : "them") + " vanish"
                   : ", which the pattern cannot fix") +
            " (" + e.what() + ")");
      }
    }
  };
  // The peaks are put in place before they are shaped: widths refined while the
  // peaks still stand off their measured places grow to cover the gap (the order
  // of McCusker et al., J. Appl. Cryst. 32 (1999) 36: scale, background and
  // positions first, then the profile).
  refine::Result result;
  int iterations = 0;
  // Le Bail's refinement places the peaks with the structure's intensities
  // first (an intensity extracted where no peak stands yet is lost for good),
  // then alternates the extraction at fixed parameters with least squares at
  // fixed intensities.
  const int rounds = choice.le_bail ? kLeBailRounds : 1;
  for (int round = 0; round < rounds; ++round) {
    if (round == 0 &&
        (((choice.has(ParameterGroup::profile) || choice.refines_structure()) && choice.groups.size() > 1) ||
         choice.le_bail)) {
      std::vector<Parameter> placing = parameters;
      for (std::size_t j = 0; j < placing.size(); ++j)
        if (is_width(model, j) || is_structure(model, j)) placing[j].refined = false;
      result = run(placing);
      iterations += result.iterations;
      for (std::size_t j = 0; j < parameters.size(); ++j) parameters[j].value = result.parameters[j].value;
    }
    if (choice.le_bail) {
      if (round == 0) start_le_bail(model, parameters);
      le_bail_cycles(model, parameters, observed.intensity, start.fit.excluded, round == 0 ? 10 : 5);
    }
    constexpr int kMostReweightings = 5;
    for (int pass = 0; pass < kMostReweightings; ++pass) {
      result = run(parameters);
      iterations += result.iterations;
      parameters = result.parameters;
      if (observed.sigma_given) break;
      double largest_change = 0;
      const std::vector<double> calculated = fitted.whole(values_of(parameters));
      for (std::size_t i = 0; i < sigma.size(); ++i) {
        const double renewed = std::sqrt(std::max(calculated[i], 1.0));
        largest_change = std::max(largest_change, std::abs(renewed - sigma[i]) / sigma[i]);
        sigma[i] = renewed;
      }
      if (largest_change < 1e-4) break;
    }
  }

  PatternRefinement r;
  r.held = held;
  r.iterations = iterations;
  r.converged = result.converged;
  r.stop_reason = result.stop_reason;
  for (std::size_t k = 0; k < start.phases.size(); ++k)
    if (!start.phases[k].freedom.basis.empty() && choice.has(ParameterGroup::cell))
      r.cell_bases.push_back((k == 0 ? std::string() : "phase." + std::to_string(k + 1) + ".") +
                             "cell constrained by " + start.phases[k].freedom.basis);
  for (std::size_t j = 0; j < parameters.size(); ++j)
    if (!std::isfinite(parameters[j].value) || !std::isfinite(result.esd[j]))
      powder::fail_powder(observed.source +
                          ": the refinement ended without a finite value and uncertainty for " +
                          parameters[j].name + " (" + shortest_text(parameters[j].value) + ", esd " +
                          shortest_text(result.esd[j]) + "); refine fewer parameters or start nearer");
  std::vector<std::vector<RefinedValue>> sizes_after(
      parameters.size());  // each moment's size after its last component
  for (std::size_t k = 0; k < start.phases.size(); ++k)
    if (start.phases[k].structure)
      for (const MomentSize& m : start.phases[k].structure->structure().moment_sizes()) {
        const std::size_t first = model.structure_of(k);
        RefinedValue size = moment_size(m, *start.phases[k].structure, first, parameters, result);
        const std::ptrdiff_t last = *std::max_element(m.slot.begin(), m.slot.end());
        sizes_after[first + static_cast<std::size_t>(last)].push_back(std::move(size));
      }
  for (std::size_t j = 0; j < parameters.size(); ++j) {
    r.values.push_back({parameters[j].name, parameters[j].value, result.esd[j], parameters[j].refined,
                        follows_text(parameters[j], parameters)});
    for (RefinedValue& size : sizes_after[j]) r.values.push_back(std::move(size));
  }
  for (const refine::Correlation& c : result.high_correlations)
    r.correlations.push_back({parameters[c.first].name, parameters[c.second].name, c.value});
  for (std::size_t j : result.at_bound) r.at_bound.push_back(parameters[j].name);

  const std::vector<double> values = values_of(parameters);
  powder::PatternFit& fit = r.fit;
  fit.scales = {values[ParameterIndex::scale]};
  for (std::size_t k = 1; k < model.phase_count(); ++k) fit.scales.push_back(values[model.block_of(k)]);
  fit.scale = fit.scales.front();
  fit.zero_shift = values[ParameterIndex::zero];
  fit.background.assign(values.begin() + ParameterIndex::background,
                        values.begin() + ParameterIndex::background + start.fit.background.size());
  fit.calculated = fitted.whole(values);
  fit.background_values = model.phase(0).background(values);
  fit.sigma = sigma;
  fit.scale_means = start.fit.scale_means;
  fit.excluded = start.fit.excluded;
  agreement(observed, fit, result.refined_indices.size());

  for (std::size_t k = 0; k < model.phase_count(); ++k) {
    std::optional<Crystal>& crystal = r.crystals.emplace_back();
    if (!start.phases[k].structure) continue;
    const std::span<const double> all(values);
    const PhaseStructure& structure = start.phases[k].structure->structure();
    crystal = structure.crystal_at(all.subspan(model.structure_of(k), model.phase(k).structure_size()));
    for (const std::string& site : structure.unphysical_displacements(*crystal))
      r.cautions.push_back(
          (k == 0 ? std::string() : "phase " + std::to_string(k + 1) + ": ") + "site " + site +
          ": its refined U_ij are not positive definite, so no displacement ellipsoid has them; "
          "refine its biso instead");
  }
  // Ticks: each group's refined position, less the zero the plot adds back,
  // named by its member of the largest indices, with its nuclear, magnetic
  // and X-ray intensities at the refined structure, so that its tick rows
  // and labels read as those of the pattern without a refinement.
  for (std::size_t k = 0; k < model.phase_count(); ++k) {
    const std::vector<double> local = model.phase_parameters(k, values);
    const std::vector<Reflection> distinct = distinct_reflections(start.phases[k].peaks);
    std::vector<std::array<double, 3>> parts(distinct.size());
    if (start.phases[k].structure) {
      parts = start.phases[k].structure->parts(
          std::span<const double>(values).subspan(model.structure_of(k), model.phase(k).structure_size()));
    } else {
      for (const powder::PowderPeak& p : start.phases[k].peaks) {
        const auto at = std::lower_bound(distinct.begin(), distinct.end(), p.h);
        parts[static_cast<std::size_t>(at - distinct.begin())] = {p.fn_squared, p.fm_squared, p.fx_squared};
      }
    }
    std::vector<powder::PowderPeak>& ticks = r.phase_peaks.emplace_back();
    for (const auto& [group, centre] : model.phase(k).positions(local)) {
      powder::PowderPeak tick;
      const PeakGroup& g = model.phase(k).groups()[group];
      std::array<double, 3> sum{};
      tick.h = distinct[g.reflections.front()];
      for (std::size_t m : g.reflections) {
        tick.h = std::max(tick.h, distinct[m]);
        for (std::size_t i = 0; i < 3; ++i) sum[i] += parts[m][i];
      }
      tick.two_theta = static_cast<float>(centre - fit.zero_shift);
      tick.wavelength = static_cast<float>(values[ParameterIndex::wavelength]);
      const double theta = tick.two_theta * std::numbers::pi / 360;
      const double lorentz =
          cylinder_transmission(start.mu_r, theta) / (std::sin(theta) * std::sin(theta) * std::cos(theta));
      tick.fn_squared = static_cast<float>(sum[0]);
      tick.fm_squared = static_cast<float>(sum[1]);
      tick.fx_squared = static_cast<float>(sum[2]);
      tick.nuclear = static_cast<float>(sum[0] * lorentz);
      tick.magnetic = static_cast<float>(sum[1] * lorentz);
      tick.xray = static_cast<float>(sum[2] * lorentz * start.polarisation.factor(std::cos(2 * theta)));
      ticks.push_back(tick);
    }
  }
  return r;
}

}  // namespace velmora::rietveld
