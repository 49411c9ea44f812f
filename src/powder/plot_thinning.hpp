// A curve of millions of points thinned to what a plot's width can show. Within
// each of a number of equal slices of the horizontal range, the first, lowest,
// highest and last points are kept, in their order: the line through them
// covers the same pixels as the whole curve, so no peak is lost however narrow,
// and the SVG holds some thousands of points instead of millions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace velmora::powder {

// Slices across a plot's width: the page is 900 points wide, and two slices a
// point keep the line exact also on a screen of twice that resolution.
constexpr std::size_t kPlotColumns = 1800;

struct Polyline {
  std::vector<double> x, y;
};

// The points of (x[i], y(i)) that shape the curve, x running monotonically
// (up, or down for d); a curve of no more than four points a slice is kept whole.
template <typename Y>
Polyline thinned_curve(const std::vector<double>& x, Y y, std::size_t columns = kPlotColumns) {
  Polyline line;
  const std::size_t n = x.size();
  if (n <= 4 * columns) {
    for (std::size_t i = 0; i < n; ++i) line.x.push_back(x[i]), line.y.push_back(y(i));
    return line;
  }
  const double x0 = x.front(), span = x.back() - x.front();
  const auto column = [&](std::size_t i) {
    const double at = span != 0 ? (x[i] - x0) / span * static_cast<double>(columns) : 0.0;
    return std::min(static_cast<std::size_t>(std::max(at, 0.0)), columns - 1);
  };
  std::size_t first = 0;
  while (first < n) {
    std::size_t last = first, low = first, high = first;
    const std::size_t c = column(first);
    while (last + 1 < n && column(last + 1) == c) {
      ++last;
      if (y(last) < y(low)) low = last;
      if (y(last) > y(high)) high = last;
    }
    std::size_t kept[4] = {first, std::min(low, high), std::max(low, high), last};
    for (std::size_t k = 0; k < 4; ++k) {
      if (k > 0 && kept[k] == kept[k - 1]) continue;
      line.x.push_back(x[kept[k]]);
      line.y.push_back(y(kept[k]));
    }
    first = last + 1;
  }
  return line;
}

}  // namespace velmora::powder
