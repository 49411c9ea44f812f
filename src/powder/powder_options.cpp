// Command-line parsing: every option is checked here, so that a wrong value
// ends the run before any file is read.
#include "powder/powder_options.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>

#include "powder/powder_error.hpp"

namespace velmora::powder {
namespace {

// Beyond this many points a pattern no longer fits a file anyone would read.
constexpr double kMostGridPoints = 1e7;

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
         "  --plot OUT.svg        the pattern drawn as SVG\n";
}

PowderOptions parse_powder_command_line(const std::vector<std::string>& args) {
  static const std::vector<std::string> valued = {"--wavelength",  "--tables",   "--two-theta",
                                                  "--fwhm",        "--caglioti", "--csv",
                                                  "--reflections", "--plot",     "--radiation"};
  PowderOptions options;
  std::map<std::string, std::string> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "-h" || name == "--help" || name == "--version") {
      if (value) fail_powder(name + " takes no value");
      (name == "--version" ? options.version : options.help) = true;
      return options;
    }
    if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
      if (!value && i + 1 < args.size()) value = args[++i];
      if (!value || value->empty()) fail_powder(name + " needs a value\n" + powder_usage_text());
      if (!given.emplace(name, *value).second) fail_powder(name + " is given twice");
    } else if (!name.empty() && name[0] == '-') {
      fail_powder("unknown option " + name + "\n" + powder_usage_text());
    } else if (!options.answers.empty()) {
      fail_powder("one answer file at a time: " + options.answers + " and " + name);
    } else {
      options.answers = name;
    }
  }
  if (options.answers.empty()) fail_powder("no answer file named\n" + powder_usage_text());
  if (given.count("--wavelength") == 0) fail_powder("--wavelength L (angstroms) is required");
  options.wavelength = positive("--wavelength", given["--wavelength"]);
  options.tables = given["--tables"];
  if (given.count("--two-theta")) options.grid = grid_of(given["--two-theta"]);
  if (given.count("--fwhm") && given.count("--caglioti"))
    fail_powder("--fwhm and --caglioti: give one of them");
  if (given.count("--fwhm")) options.width.fwhm = positive("--fwhm", given["--fwhm"]);
  if (given.count("--caglioti")) {
    const std::vector<double> uvw = numbers_of("--caglioti", given["--caglioti"], ',', 3);
    options.width.caglioti = {uvw[0], uvw[1], uvw[2]};
  }
  if (given.count("--radiation")) {
    static const std::map<std::string, Radiation> kinds = {
        {"neutron", Radiation::neutron}, {"xray", Radiation::xray}, {"both", Radiation::both}};
    const auto kind = kinds.find(given["--radiation"]);
    if (kind == kinds.end())
      fail_powder("--radiation " + given["--radiation"] + ": one of neutron, xray, both");
    options.radiation = kind->second;
  }
  options.csv = given["--csv"];
  options.reflections = given["--reflections"];
  options.plot = given["--plot"];
  check_distinct_files(options);
  const std::string svg = ".svg";
  if (!options.plot.empty() &&
      (options.plot.size() <= svg.size() || options.plot.compare(options.plot.size() - 4, 4, svg) != 0))
    fail_powder("--plot " + options.plot + ": the plot is SVG; name it OUT.svg");
  return options;
}

}  // namespace velmora::powder
