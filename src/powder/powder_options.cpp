// Command-line parsing: every option is checked here, so that a wrong value
// ends the run before any file is read.
#include "powder/powder_options.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>

#include "powder/number_text.hpp"
#include "powder/powder_error.hpp"

namespace velmora::powder {
namespace {

// Beyond this many points a pattern no longer fits a file anyone would read.
constexpr double kMostGridPoints = 1e7;
// Wavelengths of X-rays, neutrons and electrons lie well within this range (angstroms);
// beyond it single-precision angles and Lorentz factors overflow or lose every digit.
constexpr double kShortestWavelength = 1e-3, kLongestWavelength = 1e3;
// 2theta is stored in single precision: neighbouring grid points must be at least
// this many units of its last place apart, or several rows would carry one angle.
constexpr double kLeastStepUlps = 4;

std::vector<double> numbers_of(const std::string& option, const std::string& text, char separator,
                               std::size_t count) {
  std::vector<double> values;
  std::size_t start = 0;
  while (values.size() < count) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    double value = 0;
    const char* first = text.data() + start;
    const auto result = std::from_chars(first, text.data() + end, value);
    if (result.ec != std::errc() || result.ptr != text.data() + end || !std::isfinite(value)) break;
    values.push_back(value);
    start = end + 1;
    if (end == text.size()) break;
  }
  if (values.size() != count || start <= text.size())
    fail_powder(option + " " + text + ": expected " +
                (count == 1 ? std::string("a number")
                            : std::to_string(count) + " numbers separated by '" + separator + "'"));
  return values;
}

double positive(const std::string& option, const std::string& text) {
  const double value = numbers_of(option, text, ',', 1)[0];
  if (!(value > 0)) fail_powder(option + " " + text + ": must be above 0");
  return value;
}

TwoThetaGrid grid_of(const std::string& text) {
  const std::vector<double> v = numbers_of("--two-theta", text, ':', 3);
  const TwoThetaGrid grid{v[0], v[1], v[2]};
  if (!(grid.from >= 0 && grid.from < grid.to && grid.to <= 180))
    fail_powder("--two-theta " + text + ": needs 0 <= FROM < TO <= 180 (degrees)");
  if (!(grid.step > 0) || (grid.to - grid.from) / grid.step > kMostGridPoints)
    fail_powder("--two-theta " + text + ": STEP must be above 0 and give at most 10^7 points");
  const float top = static_cast<float>(grid.to);
  const double least = kLeastStepUlps * (std::nextafter(top, INFINITY) - top);
  if (grid.step < least)
    fail_powder("--two-theta " + text + ": STEP below " + float_text(static_cast<float>(least)) +
                " degrees, which single-precision 2theta near " + float_text(top) + " degrees cannot hold apart");
  return grid;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error_a, error_b;
  const auto path_a = std::filesystem::weakly_canonical(a, error_a);
  const auto path_b = std::filesystem::weakly_canonical(b, error_b);
  return a == b || (!error_a && !error_b && path_a == path_b);
}

// Two outputs of one name, or an output over the answers, would lose a file.
void check_distinct_files(const PowderOptions& options) {
  std::vector<std::pair<std::string, std::string>> seen = {{"the answer file", options.answers}};
  for (const auto& [option, path] :
       {std::pair<std::string, std::string>{"--reflections", options.reflections},
        {"--csv", options.csv},
        {"--plot", options.plot}}) {
    if (path.empty()) continue;
    for (const auto& [other, other_path] : seen)
      if (same_file(path, other_path)) fail_powder(option + " " + path + ": the same file as " + other);
    seen.emplace_back(option, path);
  }
}

}  // namespace

std::string powder_usage_text() {
  return "usage: velmora-powder ANSWERS --wavelength L [--tables DIR] [--two-theta FROM:TO:STEP]\n"
         "                      [--fwhm W | --caglioti U,V,W] [--radiation neutron|xray|both]\n"
         "                      [--reflections OUT.csv] [--csv OUT.csv] [--plot OUT.svg]\n"
         "                      [--magnetic-model j0|dipole] [--g NAME=G ...] [--ion LABEL=ION ...]\n"
         "The powder pattern of the structure in a velmora answer file at wavelength L (angstroms).\n"
         "  --tables DIR          the folder of velmora's three tables (default: the working directory when\n"
         "                        it has them, else the installed data folder)\n"
         "  --two-theta F:T:S     the pattern's grid in degrees (default: around every peak, step 0.02)\n"
         "  --fwhm W              peak width in degrees of 2theta (default 0.3)\n"
         "  --caglioti U,V,W      peak width from FWHM^2 = U tan^2(theta) + V tan(theta) + W\n"
         "  --radiation R         what the plot shows (default neutron); the files hold all\n"
         "  --reflections OUT     per reflection: h k l, d, 2theta, |Fn|^2 |Fm|^2 |FX|^2 and\n"
         "                        the integrated intensities (standard output when no output is named)\n"
         "  --csv OUT             the pattern: 2theta, neutron nuclear, magnetic, total, X-ray\n"
         "  --plot OUT.svg        the pattern drawn as SVG\n"
         "  --magnetic-model M    the magnetic form factor: j0 (default), velmora's <j0> where its table\n"
         "                        has the atom's label, else <j0> of magnetic_form_factors.csv; dipole,\n"
         "                        <j0> + (2/g - 1) <j2> with g from the ion's term\n"
         "  --g NAME=G            the Lande factor of the atoms of a label or element (dipole; --g Fe3=2)\n"
         "  --ion LABEL=ION       the ion of magnetic_form_factors.csv for the magnetic atoms of an answer\n"
         "                        label (--ion Irx=Ir0:6s1, where the ion has several configurations)\n";
}

const frontend::ProgramSpec& powder_program_spec() {
  static const frontend::ProgramSpec spec{"velmora-powder",
                                          "answer file",
                                          {{"--wavelength"},
                                           {"--tables"},
                                           {"--two-theta"},
                                           {"--fwhm"},
                                           {"--caglioti"},
                                           {"--csv"},
                                           {"--reflections"},
                                           {"--plot"},
                                           {"--radiation"},
                                           {std::string(kMagneticModelOption)},
                                           {"--g", true, true},
                                           {"--ion", true, true}},
                                          powder_usage_text()};
  return spec;
}

PowderOptions powder_options_of(const frontend::CommandLine& line) {
  PowderOptions options;
  options.answers = line.operand;
  if (!line.has("--wavelength")) fail_powder("--wavelength L (angstroms) is required");
  options.wavelength = positive("--wavelength", line.value("--wavelength"));
  if (options.wavelength < kShortestWavelength || options.wavelength > kLongestWavelength)
    fail_powder("--wavelength " + line.value("--wavelength") + ": must be from " + limit_text(kShortestWavelength) +
                " to " + limit_text(kLongestWavelength) + " angstroms");
  options.tables = line.value("--tables");
  if (line.has("--two-theta")) options.grid = grid_of(line.value("--two-theta"));
  frontend::check_exclusive(line, "--fwhm", "--caglioti");
  if (line.has("--fwhm")) {
    options.width.fwhm = positive("--fwhm", line.value("--fwhm"));
    if (options.width.fwhm < kNarrowestFwhm || options.width.fwhm > kWidestFwhm)
      fail_powder("--fwhm " + line.value("--fwhm") + ": must be from " + limit_text(kNarrowestFwhm) + " to " +
                  limit_text(kWidestFwhm) + " degrees");
  }
  if (line.has("--caglioti")) {
    const std::vector<double> uvw = numbers_of("--caglioti", line.value("--caglioti"), ',', 3);
    options.width.caglioti = {uvw[0], uvw[1], uvw[2]};
  }
  if (line.has("--radiation")) {
    static const std::map<std::string, Radiation> kinds = {
        {"neutron", Radiation::neutron}, {"xray", Radiation::xray}, {"both", Radiation::both}};
    const auto kind = kinds.find(line.value("--radiation"));
    if (kind == kinds.end())
      fail_powder("--radiation " + line.value("--radiation") + ": one of neutron, xray, both");
    options.radiation = kind->second;
  }
  for (const char* option : {"--g", "--ion"}) {
    for (const std::string& value : line.values(option)) {
      const std::size_t equals = value.find('=');
      if (equals == 0 || equals == std::string::npos || equals + 1 == value.size())
        fail_powder(std::string(option) + " " + value + ": give NAME=VALUE, such as " +
                    (option == std::string("--g") ? "Fe3=2" : "Irx=Ir4"));
      const std::string key = value.substr(0, equals), text = value.substr(equals + 1);
      if (option == std::string("--ion")) {
        options.ions[key] = text;
      } else {
        const double g = numbers_of("--g", text, ',', 1)[0];
        if (!(g > 0)) fail_powder("--g " + value + ": the Lande factor must be above 0");
        options.g[key] = g;
      }
    }
  }
  if (line.has(std::string(kMagneticModelOption))) {
    const std::string name = line.value(std::string(kMagneticModelOption));
    const auto named = magnetic_model_named(name);
    if (!named) fail_powder(std::string(kMagneticModelOption) + " " + name + ": give j0 or dipole");
    options.model = *named;
  }
  if (!options.g.empty() && options.model != MagneticModel::dipole)
    fail_powder("--g needs " + std::string(kMagneticModelOption) +
                " dipole: the j0 model has no orbital part to weigh");
  options.csv = line.value("--csv");
  options.reflections = line.value("--reflections");
  options.plot = line.value("--plot");
  check_distinct_files(options);
  const std::string svg = ".svg";
  if (!options.plot.empty() &&
      (options.plot.size() <= svg.size() || options.plot.compare(options.plot.size() - 4, 4, svg) != 0))
    fail_powder("--plot " + options.plot + ": the plot is SVG; name it OUT.svg");
  // The plotting library rewrites %-sequences in the names it opens; the folder is part of it.
  if (std::filesystem::path(options.plot).parent_path().string().find('%') != std::string::npos)
    fail_powder("--plot " + options.plot + ": a folder whose name holds % cannot take the plot");
  return options;
}

}  // namespace velmora::powder
