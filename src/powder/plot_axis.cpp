// Axis conversions and the choice of labelled peaks, free of the drawing
// library so that both plots take them from one place.
#include "powder/plot_axis.hpp"

#include <algorithm>
#include <cmath>
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
  std::vector<const PowderPeak*> within;
  for (const PowderPeak& peak : peaks) {
    const double centre = peak.two_theta + shift;
    if (peak.wavelength == peaks.front().wavelength && centre >= low && centre <= high)
      within.push_back(&peak);
  }
  std::stable_sort(within.begin(), within.end(),
                   [](const PowderPeak* a, const PowderPeak* b) { return a->two_theta < b->two_theta; });
  // Equivalents share a position within rounding: each within 1e-4 degrees of its position's first
  // peak (bins of 1e-4 degrees would part two that straddle a bin's edge).
  std::vector<Position> at;
  double first = -1;
  for (const PowderPeak* peak : within) {
    if (at.empty() || peak->two_theta - first > 1e-4) {
      at.emplace_back();
      first = peak->two_theta;
    }
    Position& position = at.back();
    if (position.intensity == 0 || peak->h > position.h) position.h = peak->h;
    position.two_theta = peak->two_theta + shift;
    position.intensity += intensity_of(*peak, kind);
  }
  double strongest = 0;
  for (const Position& position : at) strongest = std::max(strongest, position.intensity);
  // An extinct reflection's rounding is no peak to name.
  std::vector<PeakLabel> labels;
  for (const Position& position : at)
    if (position.intensity > 0 &&
        observable(static_cast<float>(position.intensity), static_cast<float>(strongest)))
      labels.push_back({position.two_theta, position.intensity, hkl_text(position.h)});
  std::sort(labels.begin(), labels.end(),
            [](const PeakLabel& a, const PeakLabel& b) { return a.intensity > b.intensity; });
  if (static_cast<int>(labels.size()) > count) labels.resize(static_cast<std::size_t>(std::max(count, 0)));
  return labels;
}

std::vector<PlacedLabel> spread_labels(const std::vector<PlacedLabel>& labels, double char_width,
                                       double line_height, double from, double to) {
  const auto width = [char_width](const std::string& text) {
    return char_width * static_cast<double>(text.size());
  };
  struct Merged {
    PlacedLabel label;
    std::vector<std::string> names;
  };
  std::vector<Merged> merged;
  for (const PlacedLabel& label : labels) {
    const auto same = std::find_if(merged.begin(), merged.end(), [&](const Merged& m) {
      return std::abs(m.label.x - label.x) < std::max(width(m.names.front()), width(label.text)) / 2;
    });
    if (same == merged.end()) {
      merged.push_back({label, {label.text}});
      continue;
    }
    same->names.push_back(label.text);
    same->label.y = std::max(same->label.y, label.y);
  }
  std::vector<PlacedLabel> placed;
  for (Merged& m : merged) {
    PlacedLabel label = m.label;
    label.text = m.names.size() == 2  ? m.names[0] + "/" + m.names[1]
                 : m.names.size() > 2 ? m.names[0] + " (+" + std::to_string(m.names.size() - 1) + ")"
                                      : m.names[0];
    const double half = width(label.text) / 2, low = std::min(from, to), high = std::max(from, to);
    if (high - low > 2 * half) label.x = std::clamp(label.x, low + half, high - half);
    // Above every stronger label it would cover; each raise puts it higher, so this ends.
    for (bool moved = true; moved;) {
      moved = false;
      for (const PlacedLabel& other : placed)
        if (std::abs(other.x - label.x) < (width(other.text) + width(label.text)) / 2 &&
            label.y < other.y + line_height && other.y < label.y + line_height) {
          label.y = other.y + line_height;
          moved = true;
        }
    }
    placed.push_back(std::move(label));
  }
  return placed;
}

}  // namespace velmora::powder
