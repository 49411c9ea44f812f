// Each argument becomes the value velmora-powder's option would give, so the
// same choice makes the same pattern. The rules are velmora-powder's checking
// functions; what is Python's own here is the kinds of values and their names.
#include "python/powder_arguments.hpp"

#include <optional>
#include <string>
#include <vector>

#include "powder/instrument_choices.hpp"
#include "powder/pattern_checks.hpp"
#include "powder/radiation_source.hpp"
#include "python/python_arguments.hpp"

namespace py = pybind11;

namespace velmora::python {
namespace {

void check(const std::optional<std::string>& fault, const std::string& name, const py::handle& value) {
  if (fault) refuse_value(name, value, *fault);
}

constexpr const char* kWavelengths =
    "a wavelength in angstroms, or a list of wavelengths and (wavelength, ratio) pairs";

// One wavelength, or lines each a wavelength (ratio 1) or (wavelength, ratio to the first).
std::vector<powder::SourceLine> wavelength_lines_of(const py::handle& value) {
  std::vector<powder::SourceLine> lines;
  if (is_number(value)) {
    lines.push_back({number_of(value, "wavelength", kWavelengths), 1.0});
  } else if (is_sequence(value)) {
    for (const py::handle item : py::reinterpret_borrow<py::sequence>(value)) {
      if (is_sequence(item)) {
        const std::vector<double> pair = numbers_of(item, "wavelength", {2}, "(wavelength, ratio)");
        lines.push_back({pair[0], pair[1]});
      } else {
        lines.push_back({number_of(item, "wavelength", kWavelengths), 1.0});
      }
    }
  } else {
    refuse_kind("wavelength", kWavelengths, value);
  }
  check(powder::source_lines_fault(lines), "wavelength", value);
  return lines;
}

std::vector<powder::SourceLine> tube_lines_of(const py::handle& value) {
  if (!PyUnicode_Check(value.ptr())) refuse_kind("source", "a tube anode's name (\"Cu\")", value);
  const auto lines = powder::tube_lines(value.cast<std::string>());
  if (!lines) refuse_value("source", value, powder::unknown_tube_reason());
  return *lines;
}

void set_lines(const PowderArguments& given, powder::PowderOptions& options) {
  const bool wavelength = !given.wavelength.is_none(), source = !given.source.is_none();
  if (wavelength && source) throw py::type_error("wavelength and source: give one of them");
  if (!wavelength && !source) {
    if (given.instrument.is_none())
      throw py::type_error(
          "powder() needs wavelength (angstroms), source (a tube anode) or instrument (a file)");
    return;
  }
  if (source) {
    options.lines = tube_lines_of(given.source);
    options.source = given.source.cast<std::string>();
  } else {
    options.lines = wavelength_lines_of(given.wavelength);
  }
}

// fwhm alone, caglioti alone, tch = (U, V, W, X, Y) alone, or tch = (X, Y) with
// the Gaussian part from caglioti = (U, V, W).
void set_width(const PowderArguments& given, powder::PeakWidth& width) {
  const bool fwhm = !given.fwhm.is_none(), caglioti = !given.caglioti.is_none(), tch = !given.tch.is_none();
  if (fwhm && (caglioti || tch))
    throw py::type_error("fwhm, caglioti and tch: give one of them (or caglioti with tch=(X, Y))");
  if (fwhm) {
    width.fwhm = number_of(given.fwhm, "fwhm", "a number (degrees)");
    check(powder::fwhm_fault(width.fwhm), "fwhm", given.fwhm);
  }
  std::optional<std::vector<double>> uvw;
  if (caglioti) uvw = numbers_of(given.caglioti, "caglioti", {3}, "(U, V, W)");
  if (!tch) {
    if (uvw) width.caglioti = {(*uvw)[0], (*uvw)[1], (*uvw)[2]};
    return;
  }
  std::vector<double> p = numbers_of(given.tch, "tch", {2, 5}, "(X, Y) or (U, V, W, X, Y)");
  if (p.size() == 5 && uvw)
    throw py::type_error("caglioti and tch=(U, V, W, X, Y): give U V W once (caglioti with tch=(X, Y))");
  if (p.size() == 2) {
    if (!uvw) throw py::type_error("tch=(X, Y) needs caglioti=(U, V, W), its Gaussian part");
    p.insert(p.begin(), uvw->begin(), uvw->end());
  }
  width.tch = powder::TchParameters{p[0], p[1], p[2], p[3], p[4]};
  check(powder::tch_fault(*width.tch), "tch", given.tch);
}

// What gave a choice, as a note names it: "wavelength=1.912".
// absorption= as --absorption: a number (mu R) or "auto"; packing= and radius= numbers.
void set_absorption(const PowderArguments& given, powder::AbsorptionChoice& choice) {
  if (!given.absorption.is_none()) {
    std::string text;
    if (PyUnicode_Check(given.absorption.ptr()))
      text = given.absorption.cast<std::string>();
    else if (is_number(given.absorption))
      text = repr_text(py::float_(number_of(given.absorption, "absorption")));
    else
      refuse_kind("absorption", "a number (mu R) or \"auto\"", given.absorption);
    if (const auto fault = powder::absorption_text_fault(text, choice, kAbsorptionArguments))
      throw py::value_error(*fault);
  }
  if (!given.packing.is_none()) choice.packing = number_of(given.packing, "packing");
  if (!given.radius.is_none()) choice.radius = number_of(given.radius, "radius");
}

std::string choice(const char* name, const py::object& value) {
  return value.is_none() ? std::string() : std::string(name) + "=" + repr_text(value);
}

}  // namespace

powder::PowderOptions powder_options_of(const PowderArguments& given, powder::Remarks& remarks) {
  powder::PowderOptions options;
  set_lines(given, options);
  if (!given.two_theta.is_none()) {
    const std::vector<double> t = numbers_of(given.two_theta, "two_theta", {3}, "(from, to, step)");
    options.grid = powder::TwoThetaGrid{t[0], t[1], t[2]};
    check(powder::grid_fault(*options.grid), "two_theta", given.two_theta);
  }
  set_width(given, options.width);
  set_absorption(given, options.absorption);
  if (!given.dmin.is_none()) options.dmin = dmin_of(given.dmin);
  if (!given.instrument.is_none()) {
    options.instrument = path_of(given.instrument, "instrument");
    const powder::Instrument instrument = powder::read_instrument_file(options.instrument);
    if (!given.source.is_none() && instrument.radiation != powder::Radiation::xray)
      throw py::type_error("source and instrument: " + options.instrument +
                           " describes a neutron diffractometer (HTYPE " + instrument.htype +
                           "); give one of them");
    powder::ExplicitChoices choices;
    choices.lines =
        given.source.is_none() ? choice("wavelength", given.wavelength) : choice("source", given.source);
    for (const auto& [name, value] : {std::pair<const char*, const py::object*>{"fwhm", &given.fwhm},
                                      {"caglioti", &given.caglioti},
                                      {"tch", &given.tch}})
      if (choices.width.empty()) choices.width = choice(name, *value);
    powder::take_instrument(instrument, choices, options.lines, options.width, options.polarisation, remarks);
    // What a fit takes from the file beside: its radiation and its zero, where the search starts.
    options.radiation = instrument.radiation;
    options.zero_centre = instrument.zero_shift;
    if (instrument.profile) options.axial = {instrument.profile->s_over_l, instrument.profile->h_over_l};
  }
  options.dispersion =
      dispersion_of(given.dispersion, !options.source.empty() || options.radiation == powder::Radiation::xray
                                          ? DispersionModel::cromer_liberman
                                          : DispersionModel::none);
  options.isotopes = isotopes_of(given.isotopes);
  return options;
}

void check_absorption(const powder::PowderOptions& options, bool mixture) {
  if (const auto fault = powder::absorption_choice_fault(options.absorption, options.radiation, mixture,
                                                         kAbsorptionArguments))
    throw py::value_error(*fault);
}

py::dict absorption_stated(const powder::SampleAbsorption& absorption) {
  py::dict stated;
  stated["mu_r"] = absorption.mu_r;
  if (absorption.mu) {
    stated["mu"] = *absorption.mu;
    stated["packing"] = absorption.packing;
    stated["radius"] = absorption.radius;
  }
  stated["text"] = absorption.text;
  return stated;
}

}  // namespace velmora::python
