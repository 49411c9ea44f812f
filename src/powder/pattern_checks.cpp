// The limits a pattern's choices must keep, each with its reason. The values
// come typed, so whatever read them (a command line, Python) has already made
// them finite numbers.
#include "powder/pattern_checks.hpp"

#include <algorithm>
#include <cmath>

#include "numbers/shortest_text.hpp"
#include "powder/number_text.hpp"

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
// A line's intensity ratio, to the first line's 1 and to the strongest line: a
// million is far beyond any tube's or monochromator's lines, and a peak's
// intensity times a larger one may overflow single precision.
constexpr double kLargestLineRatio = 1e6;

}  // namespace

std::optional<std::string> source_lines_fault(const std::vector<SourceLine>& lines) {
  if (lines.empty()) return "no wavelength given";
  for (const SourceLine& line : lines)
    if (!(line.wavelength > 0) || !(line.ratio > 0)) return "every wavelength and ratio must be above 0";
  for (const SourceLine& line : lines)
    if (line.wavelength < kShortestWavelength || line.wavelength > kLongestWavelength)
      return "must be from " + limit_text(kShortestWavelength) + " to " + limit_text(kLongestWavelength) +
             " angstroms";
  double strongest = lines.front().ratio, weakest = strongest;
  for (const SourceLine& line : lines) {
    strongest = std::max(strongest, line.ratio);
    weakest = std::min(weakest, line.ratio);
  }
  if (strongest > kLargestLineRatio || strongest / weakest > kLargestLineRatio)
    return "every intensity ratio must be at most " + limit_text(kLargestLineRatio) +
           ", and the strongest line at most " + limit_text(kLargestLineRatio) + " times the weakest";
  return std::nullopt;
}

std::optional<std::string> grid_fault(const TwoThetaGrid& grid) {
  if (!(grid.from >= 0 && grid.from < grid.to && grid.to <= 180))
    return "needs 0 <= FROM < TO <= 180 (degrees)";
  if (!(grid.step > 0) || (grid.to - grid.from) / grid.step > kMostGridPoints)
    return "STEP must be above 0 and give at most 10^7 points";
  const float top = static_cast<float>(grid.to);
  const double least = kLeastStepUlps * (std::nextafter(top, INFINITY) - top);
  if (grid.step < least)
    return "STEP below " + shortest_text(static_cast<float>(least)) +
           " degrees, which single-precision 2theta near " + shortest_text(top) +
           " degrees cannot hold apart";
  return std::nullopt;
}

std::optional<std::string> fwhm_fault(double fwhm) {
  if (!(fwhm >= kNarrowestFwhm && fwhm <= kWidestFwhm))
    return "must be from " + limit_text(kNarrowestFwhm) + " to " + limit_text(kWidestFwhm) + " degrees";
  return std::nullopt;
}

std::optional<std::string> tch_fault(const TchParameters& tch) {
  if (tch.x < 0 || tch.y < 0) return "X and Y must not be below 0";
  return std::nullopt;
}

std::optional<std::string> polarisation_fault(const Polarisation& polarisation) {
  if (!(polarisation.perpendicular >= 0 && polarisation.perpendicular <= 1))
    return "the polarised fraction must be from 0 to 1 (0.5: an unpolarised beam)";
  return std::nullopt;
}

}  // namespace velmora::powder
