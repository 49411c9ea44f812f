// Reading the shared options. A repeated name (--g Mn=2 --g Mn=3) is refused:
// which of two values was meant cannot be known.
#include "cli/shared_options.hpp"

#include <charconv>
#include <cmath>

#include "errors/failure.hpp"

namespace velmora::frontend {
namespace {

// A whole value as a finite number, or nothing.
std::optional<double> number_of(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) return {};
  return value;
}

// Every NAME=VALUE of a repeatable option, each name once.
std::map<std::string, std::string> named_values(const CommandLine& line, const std::string& option,
                                                const std::string& form) {
  std::map<std::string, std::string> out;
  for (const std::string& given : line.values(option)) {
    const auto equals_at = given.find('=');
    if (equals_at == 0 || equals_at == std::string::npos || equals_at + 1 == given.size())
      fail_option(option, given, "give " + form);
    const std::string name = given.substr(0, equals_at);
    if (!out.emplace(name, given.substr(equals_at + 1)).second)
      fail_option(option, given, name + " is given twice; give each name once");
  }
  return out;
}

std::optional<double> dmin_of(const CommandLine& line) {
  if (!line.has("--dmin")) return std::nullopt;
  const std::string text = line.value("--dmin");
  const auto dmin = number_of(text);
  if (!dmin) fail_option("--dmin", text, "expected a number (angstroms)");
  if (!(*dmin > 0)) fail_option("--dmin", text, "the smallest d must be above 0");
  return dmin;
}

MagneticModel model_of(const CommandLine& line) {
  const std::string option(kMagneticModelOption);
  if (!line.has(option)) return MagneticModel::j0;
  const std::string name = line.value(option);
  const auto model = magnetic_model_named(name);
  if (!model) fail_option(option, name, "give j0 or dipole");
  return *model;
}

std::optional<DispersionModel> dispersion_of(const CommandLine& line) {
  const std::string option(kDispersionOption);
  if (!line.has(option)) return std::nullopt;
  const std::string name = line.value(option);
  const auto model = dispersion_model_named(name);
  if (!model) fail_option(option, name, "give cromer-liberman or none");
  return model;
}

}  // namespace

std::vector<OptionSpec> shared_option_specs() {
  return {{"--tables"},
          {"--block"},
          {"--dmin"},
          {"--ion", true, true},
          {"--g", true, true},
          {std::string(kMagneticModelOption)},
          {std::string(kDispersionOption)},
          {"--isotope", true, true}};
}

SharedOptions shared_options_of(const CommandLine& line) {
  SharedOptions options;
  options.tables = line.value("--tables");
  if (options.tables == "-") fail_option("--tables", "-", "give the folder of the tables");
  options.block = line.value("--block");
  options.dmin = dmin_of(line);
  options.ions = named_values(line, "--ion", "NAME=ION, such as Mn=Mn3 or Mn1=Mn3");
  for (const auto& [name, text] : named_values(line, "--g", "NAME=G, such as Fe=2")) {
    const auto g = number_of(text);
    const std::optional<std::string> fault = g ? lande_factor_fault(*g) : "expected a number";
    if (fault) fail_option("--g", name + "=" + text, *fault);
    options.g[name] = *g;
  }
  options.model = model_of(line);
  options.dispersion = dispersion_of(line);
  options.isotopes = named_values(line, "--isotope", "NAME=ISOTOPE, such as Gd=160Gd or Gd1=160Gd");
  if (const auto fault = g_model_fault(!options.g.empty(), options.model))
    fail("--g needs " + std::string(kMagneticModelOption) + " dipole: " + *fault);
  return options;
}

}  // namespace velmora::frontend
