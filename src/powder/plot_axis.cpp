// Axis conversions and the choice of labelled peaks, free of the drawing
// library so that both plots take them from one place.
#include "powder/plot_axis.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "powder/number_text.hpp"

namespace velmora::powder {

double PlotAxis::at(double two_theta) const {
  const double sin_theta = std::sin(two_theta / 2.0 * std::numbers::pi / 180.0);
  if (axis == Axis::d) return wavelength / (2.0 * sin_theta);
  if (axis == Axis::q) return 4.0 * std::numbers::pi * sin_theta / wavelength;
  return two_theta;
}

const char* PlotAxis::label() const {
  if (axis == Axis::d) return "d (Å)";
  if (axis == Axis::q) return "Q (Å#u-1#d)";
  return "2#gh (degrees)";
}

std::vector<PeakLabel> strongest_peaks(const std::vector<PowderPeak>& peaks, Intensity kind, int count,
                                       double low, double high, double shift) {
  struct Position {
    double two_theta = 0, intensity = 0;
    Reflection h{};
  };
  std::map<long, Position> at;  // by position in 1e-4 degrees, which equivalents share within rounding
  for (const PowderPeak& peak : peaks) {
    const double centre = peak.two_theta + shift;
    if (peak.wavelength != peaks.front().wavelength || centre < low || centre > high) continue;
    Position& position = at[std::lround(peak.two_theta * 1e4)];
    if (position.intensity == 0 || peak.h > position.h) position.h = peak.h;
    position.two_theta = centre;
    position.intensity += intensity_of(peak, kind);
  }
  std::vector<PeakLabel> labels;
  for (const auto& [key, position] : at)
    if (position.intensity > 0) labels.push_back({position.two_theta, position.intensity, hkl_text(position.h)});
  std::sort(labels.begin(), labels.end(),
            [](const PeakLabel& a, const PeakLabel& b) { return a.intensity > b.intensity; });
  if (static_cast<int>(labels.size()) > count) labels.resize(static_cast<std::size_t>(std::max(count, 0)));
  return labels;
}

}  // namespace velmora::powder
