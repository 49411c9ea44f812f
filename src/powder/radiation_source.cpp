// Tube lines and wavelength lists. The K-alpha wavelengths are those of
// International Tables for Crystallography Vol. C (2004), Table 4.2.2.1
// (Deslattes et al.), in angstroms; K-alpha2 is given half the intensity of
// K-alpha1, the ratio of the two lines' statistical weights (2p1/2 : 2p3/2).
#include "powder/radiation_source.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "powder/powder_error.hpp"

namespace velmora::powder {
namespace {

constexpr double kAlpha2Ratio = 0.5;

struct TubeLines {
  double alpha1, alpha2;
};

const std::map<std::string, TubeLines>& tubes() {
  static const std::map<std::string, TubeLines> known = {
      {"Cr", {2.289760, 2.293663}}, {"Fe", {1.936042, 1.939980}}, {"Co", {1.788965, 1.792850}},
      {"Cu", {1.540598, 1.544426}}, {"Mo", {0.709319, 0.713609}}, {"Ag", {0.559421, 0.563813}}};
  return known;
}

bool number_of(std::string_view text, double& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

std::optional<std::vector<SourceLine>> tube_lines(const std::string& anode) {
  const auto tube = tubes().find(anode);
  if (tube == tubes().end()) return std::nullopt;
  return std::vector<SourceLine>{{tube->second.alpha1, 1.0}, {tube->second.alpha2, kAlpha2Ratio}};
}

std::string unknown_tube_reason() {
  std::string names;
  for (const auto& [name, lines] : tubes()) names += (names.empty() ? "" : ", ") + name;
  return "no such tube anode; one of " + names;
}

std::vector<SourceLine> wavelength_lines(const std::string& option, const std::string& text) {
  std::vector<SourceLine> lines;
  std::string_view rest = text;
  while (true) {
    const std::string_view item = rest.substr(0, rest.find(','));
    const std::size_t colon = item.find(':');
    SourceLine line;
    const bool read = number_of(item.substr(0, colon), line.wavelength) &&
                      (colon == std::string_view::npos || number_of(item.substr(colon + 1), line.ratio));
    if (!read)
      fail_powder(option + " " + text + ": expected wavelengths in angstroms, each with an optional" +
                  " intensity ratio, as L or L1:R1,L2:R2 (\"" + std::string(item) + "\" is neither)");
    lines.push_back(line);
    if (item.size() == rest.size()) break;
    rest.remove_prefix(item.size() + 1);
  }
  return lines;
}

double shortest_wavelength(const std::vector<SourceLine>& lines) {
  double shortest = lines.front().wavelength;
  for (const SourceLine& line : lines) shortest = std::min(shortest, line.wavelength);
  return shortest;
}

}  // namespace velmora::powder
