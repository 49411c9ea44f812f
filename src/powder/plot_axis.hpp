// What the plots share about their horizontal axis and their labels: 2-theta
// shown as itself, as d or as Q, and the peaks that get an h k l label.
#pragma once

#include <string>
#include <vector>

#include "powder/powder_options.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

struct PlotAxis {
  Axis axis = Axis::two_theta;
  double wavelength = 1;  // angstroms, of the first source line, for d and Q
  int labels = 0;         // h k l on this many of the strongest peaks

  // 2-theta in degrees on this axis: d = lambda / (2 sin theta), Q = 4 pi sin theta / lambda.
  double at(double two_theta) const;
  // The axis's label in PLplot's text escapes.
  const char* label() const;
};

// A peak position's label: equivalents at one position (within 1e-4 degrees)
// summed, named by the equivalent with the largest h, then k, then l.
struct PeakLabel {
  double two_theta = 0;  // with the shift
  double intensity = 0;
  std::string text;
};

// The count strongest positions of the first source line's peaks of one kind
// between low and high degrees, each moved by shift, strongest first.
std::vector<PeakLabel> strongest_peaks(const std::vector<PowderPeak>& peaks, Intensity kind, int count,
                                       double low, double high, double shift);

// A label over a peak: its middle along the axis, its foot, its text.
struct PlacedLabel {
  double x, y;
  std::string text;
};

// Labels (strongest first) laid out so that none covers another, in the
// plot's window units with characters of the given width and lines of the
// given height: labels whose middles lie within half a label's width are one
// label ("2 2 0/3 1 1", or the first and how many more); one that would
// still cover a stronger one is raised above it. Each stays within the axis
// from `from` to `to` (PLplot cuts text at the frame).
std::vector<PlacedLabel> spread_labels(const std::vector<PlacedLabel>& labels, double char_width,
                                       double line_height, double from, double to);

}  // namespace velmora::powder
