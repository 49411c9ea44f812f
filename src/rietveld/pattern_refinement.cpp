// The parameters are laid out as the pattern model reads them, each named,
// bounded where physics bounds it, refined when its group is chosen and the
// symmetry leaves it free. Counts without given sigma are weighted by the
// calculated counts, renewed after each refinement until the result settles:
// the Poisson maximum-likelihood fit, as the fit without refinement does.
#include "rietveld/pattern_refinement.hpp"

#include <algorithm>
#include <cmath>

#include "powder/number_text.hpp"
#include "powder/powder_error.hpp"
#include "refine/least_squares.hpp"
#include "rietveld/pattern_model.hpp"

namespace velmora::rietveld {
namespace {

using refine::Parameter;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

Parameter named(std::string name, double value, bool refined, double lower = -kInfinity, double upper = kInfinity) {
  Parameter p;
  p.name = std::move(name);
  p.value = value;
  p.refined = refined;
  p.lower = lower;
  p.upper = upper;
  return p;
}

// The Caglioti and Lorentzian coefficients of the run's peak shape.
std::array<double, 5> profile_of(const powder::PeakWidth& width) {
  if (width.tch) return {width.tch->u, width.tch->v, width.tch->w, width.tch->x, width.tch->y};
  if (width.caglioti) return {(*width.caglioti)[0], (*width.caglioti)[1], (*width.caglioti)[2], 0, 0};
  return {0, 0, width.fwhm * width.fwhm, 0, 0};
}

std::vector<Parameter> parameters_of(const PatternStart& s, const RefineChoice& choice, bool pseudo_voigt) {
  using G = ParameterGroup;
  std::vector<Parameter> p;
  p.push_back(named("scale", s.fit.scale, choice.has(G::scale)));
  p.push_back(named("zero", s.fit.zero_shift, choice.has(G::zero)));
  p.push_back(named("displacement", 0, choice.has(G::displacement)));
  p.push_back(named("transparency", 0, choice.has(G::transparency)));
  p.push_back(named("wavelength", s.lines.front().wavelength, choice.has(G::wavelength), 0));
  for (std::size_t j = 0; j < 6; ++j) {
    const bool edge = j < 3;
    Parameter cell = named(std::string("cell.") + kCellNames[j], s.cell[j],
                           choice.has(G::cell) && s.freedom.kind[j] == CellFreedom::Kind::free, 0, edge ? kInfinity : 180);
    if (choice.has(G::cell) && s.freedom.kind[j] == CellFreedom::Kind::tied) {
      refine::Tie tie;
      tie.offset = s.cell[j];
      for (std::size_t k = 0; k < 6; ++k)
        if (const double c = s.freedom.follows[j][k]; c != 0) {
          tie.terms.emplace_back(ParameterIndex::cell + k, c);
          tie.offset -= c * s.cell[k];
        }
      cell.tie = tie;
    }
    p.push_back(cell);
  }
  const std::array<double, 5> shape = profile_of(s.width);
  const std::array<const char*, 5> shape_names = {"profile.U", "profile.V", "profile.W", "profile.X", "profile.Y"};
  for (std::size_t j = 0; j < 5; ++j) {
    const bool lorentzian = j >= 3;
    p.push_back(named(shape_names[j], shape[j], choice.has(G::profile) && (!lorentzian || pseudo_voigt),
                      lorentzian ? 0 : -kInfinity));
  }
  for (std::size_t t = 0; t < s.fit.background.size(); ++t)
    p.push_back(named("background." + std::to_string(t), s.fit.background[t], choice.has(G::background)));
  return p;
}

// The R factors with the weights of the refinement, P its refined parameters.
void agreement(const powder::ObservedPattern& o, powder::PatternFit& fit, std::size_t refined) {
  double chi_squared = 0, weighted_y_squared = 0, absolute_difference = 0, absolute_observed = 0;
  for (std::size_t i = 0; i < o.intensity.size(); ++i) {
    const double w = 1.0 / (fit.sigma[i] * fit.sigma[i]);
    const double difference = o.intensity[i] - fit.calculated[i];
    chi_squared += w * difference * difference;
    weighted_y_squared += w * o.intensity[i] * o.intensity[i];
    absolute_difference += std::abs(difference);
    absolute_observed += std::abs(o.intensity[i]);
  }
  const double freedom = static_cast<double>(o.intensity.size() - refined);
  fit.rp = absolute_difference / absolute_observed;
  fit.rwp = std::sqrt(chi_squared / weighted_y_squared);
  fit.rexp = std::sqrt(freedom / weighted_y_squared);
  fit.chi2 = chi_squared / freedom;
}

std::string follows_text(const Parameter& p, const std::vector<Parameter>& all) {
  if (!p.tie) return {};
  std::string text;
  for (const auto& [k, c] : p.tie->terms)
    text += (text.empty() ? "" : " + ") + (c == 1 ? std::string() : shortest_text(c) + " ") + all[k].name;
  return text;
}

}  // namespace

PatternRefinement refine_pattern(const powder::ObservedPattern& observed, const std::vector<powder::PowderPeak>& peaks,
                                 const PatternStart& start, const RefineChoice& choice) {
  const bool pseudo_voigt = start.width.tch.has_value();
  PatternSetup setup;
  setup.groups = peak_groups(peaks, start.xray, start.cell, start.freedom);
  const double first = start.lines.front().wavelength;
  for (const powder::SourceLine& line : start.lines) setup.lines.push_back({line.wavelength / first, line.ratio});
  setup.xray = start.xray;
  setup.polarisation = start.polarisation;
  setup.pseudo_voigt = pseudo_voigt;
  setup.background_terms = static_cast<int>(start.fit.background.size());
  setup.x = observed.two_theta;
  PatternModel model(std::move(setup));

  std::vector<Parameter> parameters = parameters_of(start, choice, pseudo_voigt);
  std::vector<double> sigma = start.fit.sigma;
  const auto run = [&](const std::vector<Parameter>& from) {
    try {
      return refine::refine(model, from, observed.intensity, sigma);
    } catch (const refine::RefineError& e) {
      powder::fail_powder(observed.source + ": the refinement cannot go on: " + e.what());
    }
  };
  // The peaks are put in place before they are shaped: widths refined while the
  // peaks still stand off their measured places grow to cover the gap (the order
  // of McCusker et al., J. Appl. Cryst. 32 (1999) 36: scale, background and
  // positions first, then the profile).
  refine::Result result;
  if (choice.has(ParameterGroup::profile) && choice.groups.size() > 1) {
    std::vector<Parameter> placing = parameters;
    for (std::size_t j = ParameterIndex::profile; j < ParameterIndex::profile + 5; ++j) placing[j].refined = false;
    result = run(placing);
    for (std::size_t j = 0; j < parameters.size(); ++j) parameters[j].value = result.parameters[j].value;
  }
  constexpr int kMostReweightings = 5;
  for (int pass = 0; pass < kMostReweightings; ++pass) {
    result = run(parameters);
    parameters = result.parameters;
    if (observed.sigma_given) break;
    double largest_change = 0;
    for (std::size_t i = 0; i < sigma.size(); ++i) {
      const double renewed = std::sqrt(std::max(result.calculated[i], 1.0));
      largest_change = std::max(largest_change, std::abs(renewed - sigma[i]) / sigma[i]);
      sigma[i] = renewed;
    }
    if (largest_change < 1e-4) break;
  }

  PatternRefinement r;
  r.iterations = result.iterations;
  r.converged = result.converged;
  r.stop_reason = result.stop_reason;
  r.cell_basis = start.freedom.basis;
  for (std::size_t j = 0; j < parameters.size(); ++j)
    if (!std::isfinite(parameters[j].value) || !std::isfinite(result.esd[j]))
      powder::fail_powder(observed.source + ": the refinement ended without a finite value and uncertainty for " +
                          parameters[j].name + " (" + shortest_text(parameters[j].value) + ", esd " +
                          shortest_text(result.esd[j]) + "); refine fewer parameters or start nearer");
  for (std::size_t j = 0; j < parameters.size(); ++j)
    r.values.push_back({parameters[j].name, parameters[j].value, result.esd[j], parameters[j].refined,
                        follows_text(parameters[j], parameters)});
  for (const refine::Correlation& c : result.high_correlations)
    r.correlations.push_back({parameters[c.first].name,
                              parameters[c.second].name, c.value});
  for (std::size_t j : result.at_bound) r.at_bound.push_back(parameters[j].name);

  std::vector<double> values;
  for (const Parameter& p : parameters) values.push_back(p.value);
  powder::PatternFit& fit = r.fit;
  fit.scale = values[ParameterIndex::scale];
  fit.zero_shift = values[ParameterIndex::zero];
  fit.background.assign(values.begin() + ParameterIndex::background, values.end());
  fit.calculated = result.calculated;
  fit.background_values = model.background(values);
  fit.sigma = sigma;
  fit.scale_means = start.fit.scale_means;
  agreement(observed, fit, result.refined_indices.size());

  // Ticks: each group's refined position, less the zero the plot adds back.
  for (const auto& [k, centre] : model.positions(values)) {
    powder::PowderPeak tick;
    const PeakGroup& g = model.groups()[k];
    tick.h = {static_cast<float>(g.h[0]), static_cast<float>(g.h[1]), static_cast<float>(g.h[2])};
    tick.two_theta = static_cast<float>(centre - fit.zero_shift);
    tick.wavelength = static_cast<float>(values[ParameterIndex::wavelength]);
    (start.xray ? tick.xray : tick.nuclear) = static_cast<float>(g.weight);
    r.peaks.push_back(tick);
  }
  return r;
}

}  // namespace velmora::rietveld
