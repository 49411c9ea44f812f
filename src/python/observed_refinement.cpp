// Each argument becomes what velmora-powder's option would give, checked by
// the same rules, so that one measurement fitted from the shell or from Python
// gives the same numbers; the measured points come from a file, read as
// --observed reads it, or from arrays, checked as a file's points are.
#include "python/observed_refinement.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>

#include "powder/excluded_ranges.hpp"
#include "powder/fit_choices.hpp"
#include "powder/observed_fit.hpp"
#include "powder/observed_points.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/reflection_range.hpp"
#include "python/python_arguments.hpp"

namespace py = pybind11;

namespace velmora::python {
namespace {

std::vector<double> column_of(const py::handle& value, const std::string& name) {
  if (!is_sequence(value)) refuse_kind(name, "a sequence of numbers", value);
  const auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
  if (!array || array.ndim() != 1) refuse_kind(name, "a one-dimensional sequence of numbers", value);
  return {array.data(), array.data() + array.size()};
}

// A file (str, bytes, os.PathLike) or (two_theta, intensity[, sigma]).
powder::ObservedPattern observed_of(const py::object& given, powder::Remarks& remarks) {
  if (!is_sequence(given)) return powder::read_observed_pattern(path_of(given, "observed"), remarks);
  const py::sequence columns = py::reinterpret_borrow<py::sequence>(given);
  if (columns.size() != 2 && columns.size() != 3)
    refuse_kind("observed", "a file, or (two_theta, intensity) or (two_theta, intensity, sigma)", given);
  powder::ObservedPattern o;
  o.source = "observed";
  o.two_theta = column_of(columns[0], "observed[0] (two_theta)");
  o.intensity = column_of(columns[1], "observed[1] (intensity)");
  o.sigma_given = columns.size() == 3;
  o.sigma =
      o.sigma_given ? column_of(columns[2], "observed[2] (sigma)") : std::vector<double>(o.two_theta.size());
  if (o.intensity.size() != o.two_theta.size() || o.sigma.size() != o.two_theta.size())
    refuse_value("observed", given, "its columns differ in length");
  if (!o.sigma_given)
    for (std::size_t i = 0; i < o.sigma.size(); ++i) o.sigma[i] = std::sqrt(std::max(o.intensity[i], 1.0));
  powder::settle_observed_points(o, remarks);
  return o;
}

// A sequence of parameter names ("site.O3.y").
std::vector<std::string> names_of(const py::object& given) {
  if (!is_sequence(given)) refuse_kind("fix", "a parameter's name (\"site.O3.y\") or a list of them", given);
  std::vector<std::string> names;
  for (const py::handle item : py::reinterpret_borrow<py::sequence>(given)) {
    if (!PyUnicode_Check(item.ptr()))
      refuse_kind("fix", "a parameter's name (\"site.O3.y\") or a list of them", given);
    names.push_back(item.cast<std::string>());
  }
  return names;
}

// A list of names, or one comma-separated text, as --refine takes it.
rietveld::RefineChoice refine_choice_of(const py::object& given) {
  std::string list;
  if (PyUnicode_Check(given.ptr())) {
    list = given.cast<std::string>();
  } else if (is_sequence(given)) {
    for (const py::handle item : py::reinterpret_borrow<py::sequence>(given)) {
      if (!PyUnicode_Check(item.ptr()))
        refuse_kind("refine", "names (\"cell\") or a comma-separated text", given);
      if (!list.empty()) list += ',';
      list += item.cast<std::string>();
    }
  } else {
    refuse_kind("refine", "names (\"cell\") or a comma-separated text", given);
  }
  std::string fault;
  const auto choice = rietveld::refine_choice_of(list, fault);
  if (!choice) refuse_value("refine", given, fault);
  return *choice;
}

void set_fit_options(const FitArguments& given, powder::PowderOptions& options, powder::Remarks& remarks) {
  const bool radiation = !given.radiation.is_none();
  if (radiation) {
    const std::string name =
        PyUnicode_Check(given.radiation.ptr()) ? given.radiation.cast<std::string>() : "";
    if (name != "neutron" && name != "xray")
      refuse_value("radiation", given.radiation, "give \"neutron\" or \"xray\"");
    options.radiation = name == "xray" ? powder::Radiation::xray : powder::Radiation::neutron;
  } else if (!options.source.empty()) {
    options.radiation = powder::Radiation::xray;
  }
  if (!given.background_terms.is_none()) {
    const double terms = number_of(given.background_terms, "background_terms", "a whole number");
    if (terms != std::round(terms) || terms < 0 || terms > powder::kMostBackgroundTerms)
      refuse_value("background_terms", given.background_terms,
                   "a whole number from 0 to " + std::to_string(powder::kMostBackgroundTerms));
    options.background_terms = static_cast<int>(terms);
  }
  if (!given.zero_range.is_none()) {
    options.zero_range = number_of(given.zero_range, "zero_range", "a number (degrees)");
    if (!(options.zero_range >= 0 && options.zero_range <= powder::kMostZeroRange))
      refuse_value("zero_range", given.zero_range,
                   "from 0 to " + std::to_string(static_cast<int>(powder::kMostZeroRange)) + " degrees");
  }
  if (!given.refine.is_none()) options.refine = refine_choice_of(given.refine);
  if (!given.exclude.is_none()) {
    if (!is_sequence(given.exclude))
      refuse_kind("exclude", "a list of (from, to) ranges in degrees", given.exclude);
    std::size_t n = 0;
    for (const py::handle item : py::reinterpret_borrow<py::sequence>(given.exclude)) {
      const std::string name = "exclude[" + std::to_string(n++) + "]";
      const std::vector<double> ends = numbers_of(item, name, {2}, "(from, to) in degrees");
      const powder::ExcludedRange range{ends[0], ends[1]};
      if (const auto fault = powder::excluded_range_fault(range)) refuse_value(name, item, *fault);
      options.excluded.push_back(range);
    }
  }
  if (!given.le_bail.is_none()) {
    if (!PyBool_Check(given.le_bail.ptr())) refuse_kind("le_bail", "True or False", given.le_bail);
    if (given.le_bail.cast<bool>()) rietveld::choose_le_bail(options.refine);
  }
  if (!given.fix.is_none()) {
    if (!options.refine) refuse_value("fix", given.fix, "it holds refined parameters: give refine too");
    const std::vector<std::string> names = PyUnicode_Check(given.fix.ptr())
                                               ? std::vector<std::string>{given.fix.cast<std::string>()}
                                               : names_of(given.fix);
    for (const std::string& name : names) {
      if (std::find(options.refine->fixed.begin(), options.refine->fixed.end(), name) !=
          options.refine->fixed.end())
        refuse_value("fix", given.fix, name + " is given twice");
      options.refine->fixed.push_back(name);
    }
  }
  const bool width = !given.powder.fwhm.is_none() || !given.powder.caglioti.is_none() ||
                     !given.powder.tch.is_none() || !options.instrument.empty();
  powder::settle_fit_choices(
      options, radiation, width,
      {"fwhm, caglioti, tch or instrument", "wavelength", "radiation=\"xray\" (or source)"}, remarks);
}

py::list parameter_list(const rietveld::PatternRefinement& r) {
  py::list out;
  for (const rietveld::RefinedValue& v : r.values) {
    py::dict p;
    p["name"] = v.name;
    p["value"] = v.value;
    p["esd"] = v.esd;
    p["refined"] = v.refined;
    if (!v.follows.empty()) p["follows"] = v.follows;
    out.append(p);
  }
  return out;
}

// The structure at the refined values: its cell, and its sites and moments where they were refined.
StructureModel refined_model(const StructureModel& m, const rietveld::PatternRefinement& r,
                             const std::string& source) {
  Crystal crystal = !r.crystals.empty() && r.crystals.front() ? *r.crystals.front() : m.crystal;
  for (const rietveld::RefinedValue& v : r.values)
    for (std::size_t k = 0; k < 6; ++k)
      if (v.name == std::string("cell.") + rietveld::kCellNames[k]) crystal.cell[k] = v.value;
  return model_with_crystal(m, std::move(crystal), source);
}

py::dict report_of(const powder::ObservedPattern& o, const powder::ObservedFit& result) {
  const powder::PatternFit& fit = result.fit;
  py::dict out;
  out["scale"] = fit.scale;
  out["scale_means"] = fit.scale_means;
  out["zero_shift"] = fit.zero_shift;
  out["background"] = fit.background;
  out["Rp"] = fit.rp;
  out["Rwp"] = fit.rwp;
  out["Rexp"] = fit.rexp;
  out["chi2"] = fit.chi2;
  if (fit.scales.size() > 1) out["scales"] = fit.scales;
#ifdef VELMORA_POWDER_FIT
  if (const auto& r = result.refinement) {
    out["parameters"] = parameter_list(*r);
    py::dict values;
    for (const rietveld::RefinedValue& v : r->values)
      values[py::str(v.name)] = py::make_tuple(v.value, v.esd);
    out["values"] = values;
    py::list correlations;
    for (const rietveld::NamedCorrelation& c : r->correlations)
      correlations.append(
          py::dict(py::arg("first") = c.first, py::arg("second") = c.second, py::arg("value") = c.value));
    out["correlations"] = correlations;
    out["at_bound"] = r->at_bound;
    out["iterations"] = r->iterations;
    out["converged"] = r->converged;
    out["stop_reason"] = r->stop_reason;
  }
#endif
  py::dict pattern;
  pattern["two_theta"] =
      py::array_t<double>(static_cast<py::ssize_t>(o.two_theta.size()), o.two_theta.data());
  pattern["observed"] = py::array_t<double>(static_cast<py::ssize_t>(o.intensity.size()), o.intensity.data());
  pattern["sigma"] = py::array_t<double>(static_cast<py::ssize_t>(fit.sigma.size()), fit.sigma.data());
  pattern["calculated"] =
      py::array_t<double>(static_cast<py::ssize_t>(fit.calculated.size()), fit.calculated.data());
  pattern["background"] = py::array_t<double>(static_cast<py::ssize_t>(fit.background_values.size()),
                                              fit.background_values.data());
  out["pattern"] = pattern;
  return out;
}

}  // namespace

py::dict refine_structure(const StructureModel& m, const FitArguments& given,
                          std::vector<frontend::Remark>& remarks_out) {
  if (!powder::fit_supported())
    throw py::type_error("refine: this velmora module was built without Eigen (Debian: libeigen3-dev)");
  powder::Remarks remarks;
  powder::PowderOptions options = powder_options_of(given.powder, remarks);
  // A refined structure's reflections are computed with the tables the structure was made with.
  for (const cif::ModelEntry& e : m.model)
    if (e.name == "tables") options.tables = e.value;
  set_fit_options(given, options, remarks);
  // The fit's radiation decides the default, as velmora-powder's: f' and f'' for X-rays.
  options.dispersion = dispersion_of(given.powder.dispersion, options.radiation == powder::Radiation::xray
                                                                  ? DispersionModel::cromer_liberman
                                                                  : DispersionModel::none);
  check_absorption(options, !given.phases.empty());
  const powder::SampleAbsorption absorption =
      powder::sample_absorption(options.absorption, m.crystal, options.radiation,
                                options.lines.front().wavelength, options.isotopes, kAbsorptionArguments);
  powder::ObservedPattern observed = observed_of(given.observed, remarks);
  // Every reflection whose peak reaches the measured range at any zero shift searched.
  const double reach =
      std::min(180.0, observed.two_theta.back() + std::abs(options.zero_centre) + options.zero_range + 5);
  const double dmin = powder::smallest_d(powder::shortest_wavelength(options.lines), reach);
  std::vector<const StructureModel*> models{&m};
  models.insert(models.end(), given.phases.begin(), given.phases.end());
  std::vector<std::vector<powder::PowderPeak>> peaks;
  powder::ObservedFit result;
  {
    py::gil_scoped_release unlocked;
    for (const StructureModel* model : models)
      peaks.push_back(line_peaks(*model, reflections_to(*model, dmin), options, remarks, absorption));
    std::vector<powder::FitPhase> phases;
    for (std::size_t k = 0; k < models.size(); ++k)
      phases.push_back({models[k]->crystal, peaks[k], first_line_corrections(*models[k], options)});
    result = powder::fit_observed(options, observed, phases, remarks, absorption.mu_r);
  }
  remarks_out = std::move(remarks.items);
  py::dict out = report_of(observed, result);
  py::dict model;  // what the structure factors were computed with
  model["radiation"] = options.radiation == powder::Radiation::xray ? "xray" : "neutron";
  model["dispersion"] = std::string(dispersion_model_name(options.dispersion));
  model["isotopes"] = options.isotopes;
  out["model"] = model;
#ifdef VELMORA_POWDER_FIT
  if (result.refinement) out["structure"] = py::cast(refined_model(m, *result.refinement, observed.source));
#endif
  if (!absorption.text.empty()) out["absorption"] = absorption_stated(absorption);
  if (!options.excluded.empty()) {
    py::list ranges;
    for (const powder::ExcludedRange& r : options.excluded) ranges.append(py::make_tuple(r.from, r.to));
    out["excluded"] = ranges;
  }
  return out;
}

}  // namespace velmora::python
