// FullProf's free-format data file (J. Rodriguez-Carvajal, FullProf manual,
// "Input data files", instrument format Ins = 0): a line "2theta_start step
// 2theta_end", then the intensities, as many a line as the writer chose, with
// the title lines that files in use put before it. Counts, sigma = sqrt(I).
#include <charconv>
#include <cmath>
#include <vector>

#include "powder/pattern_readers.hpp"
#include "powder/text_lines.hpp"

namespace velmora::powder {
namespace {

bool numbers_of(std::string_view line, std::vector<double>& values) {
  values.clear();
  std::size_t i = 0;
  while ((i = line.find_first_not_of(" \t,", i)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t,", i), line.size());
    const char* first = line.data() + i + (line[i] == '+' ? 1 : 0);
    double value = 0;
    const auto result = std::from_chars(first, line.data() + end, value);
    if (result.ec != std::errc() || result.ptr != line.data() + end || !std::isfinite(value)) return false;
    values.push_back(value);
    i = end;
  }
  return true;
}

bool title_line(std::string_view line) {
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return true;
  const char c = line[first];
  return !((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.');
}

bool blank_line(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

struct Grid {
  double start = 0, step = 0, end = 0;
  std::size_t line = 0;
};

// The header line, when the first line of numbers is one: three numbers that
// make a rising grid within 0 to 180 degrees.
bool grid_line(TextLines& lines, Grid& grid) {
  std::string_view line;
  std::vector<double> v;
  while (lines.next(line))
    if (!title_line(line)) break;
  if (!numbers_of(line, v) || v.size() != 3) return false;
  grid = {v[0], v[1], v[2], lines.number()};
  return grid.start >= 0 && grid.end <= 180 && grid.step > 0 && grid.start + grid.step <= grid.end;
}

// Whether count intensities fill the grid: its end within half a step of
// start + (count - 1) step, the step as printed being rounded.
bool fills(const Grid& g, std::size_t count) {
  return count >= 2 && std::abs(g.start + static_cast<double>(count - 1) * g.step - g.end) <= 0.5 * g.step;
}

}  // namespace

bool is_fullprof_dat(std::string_view text) {
  TextLines lines(text);
  Grid grid;
  if (!grid_line(lines, grid)) return false;
  std::string_view line;
  std::vector<double> v;
  std::size_t count = 0, numeric_lines = 0;
  bool columns = true;  // every line after the header could be a point of two or three columns
  while (lines.next(line)) {
    if (blank_line(line)) continue;
    if (title_line(line) || !numbers_of(line, v)) return false;
    count += v.size();
    columns = columns && (v.size() == 2 || v.size() == 3);
    ++numeric_lines;
  }
  return numeric_lines > 0 && (fills(grid, count) || !columns);
}

ObservedPattern read_fullprof_dat(std::string_view text, const std::string& name) {
  TextLines lines(text);
  Grid grid;
  grid_line(lines, grid);
  ObservedPattern observed;
  observed.source = name;
  std::string_view line;
  std::vector<double> v;
  while (lines.next(line)) {
    if (blank_line(line)) continue;
    if (!numbers_of(line, v))
      fail_powder(name + ", line " + std::to_string(lines.number()) + ": expected intensities, found \"" +
                  std::string(line.substr(0, 60)) + "\"");
    if (observed.intensity.size() + v.size() > kMostObservedPoints)
      fail_powder(name + ": more than 10^7 points, beyond what velmora-powder fits");
    observed.intensity.insert(observed.intensity.end(), v.begin(), v.end());
  }
  const std::size_t n = observed.intensity.size();
  if (!fills(grid, n))
    fail_powder(
        name + ", line " + std::to_string(grid.line) + ": start, step and end make " +
        std::to_string(static_cast<long long>(std::llround((grid.end - grid.start) / grid.step)) + 1) +
        " points; the file holds " + std::to_string(n) + " intensities");
  // The points spread from start to end exactly: the printed step is rounded.
  const double step = (grid.end - grid.start) / static_cast<double>(n - 1);
  for (std::size_t i = 0; i < n; ++i) {
    observed.two_theta.push_back(grid.start + static_cast<double>(i) * step);
    observed.sigma.push_back(std::sqrt(std::max(observed.intensity[i], 1.0)));
  }
  return observed;
}

}  // namespace velmora::powder
