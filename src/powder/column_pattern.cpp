// The reader of two- and three-column text patterns (.xy, .xye, .dat, CSV).
// A point's own rules are checked here with its line; the rules on the
// pattern as a whole are observed_points.cpp's.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "powder/observed_pattern.hpp"
#include "powder/powder_error.hpp"
#include "powder/text_lines.hpp"

namespace velmora::powder {
namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r'; }

bool comment_line(std::string_view line) {
  return line.empty() || line[0] == '#' || line[0] == '!' || line[0] == ';' || line.substr(0, 2) == "//";
}

// The numbers of a line; false at the first field that is not a finite number.
bool numbers_of(std::string_view line, std::vector<double>& values) {
  values.clear();
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && is_separator(line[i])) ++i;
    if (i == line.size()) return true;
    std::size_t end = i;
    while (end < line.size() && !is_separator(line[end])) ++end;
    double value = 0;
    const char* first = line.data() + i;
    // from_chars takes no leading '+'
    if (*first == '+' && end > i + 1) ++first;
    const auto result = std::from_chars(first, line.data() + end, value);
    if (result.ec != std::errc() || result.ptr != line.data() + end || !std::isfinite(value)) return false;
    values.push_back(value);
    i = end;
  }
}

// Whether a line writes its numbers with decimal commas ("12,5<tab>300,2" or
// "12,5;300"): a line that starts as a number, every comma between two
// digits, and the fields apart by blanks, tabs or semicolons. Read with the
// comma as a separator such a line would give other numbers without a word; a
// comma next to a blank is a CSV's separator.
bool decimal_commas(std::string_view line) {
  line = line.substr(0, line.find_last_not_of(" \t\r") + 1);
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (line.empty() || !(digit(line[0]) || line[0] == '+' || line[0] == '-' || line[0] == '.')) return false;
  bool comma = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ',') continue;
    if (i == 0 || i + 1 == line.size() || !digit(line[i - 1]) || !digit(line[i + 1])) return false;
    comma = true;
  }
  return comma && line.find_first_of(" \t;") != std::string_view::npos;
}

}  // namespace

ObservedPattern parse_observed_pattern(const std::string& text, const std::string& name) {
  ObservedPattern observed;
  observed.source = name;
  std::size_t columns = 0;
  std::vector<double> values;
  TextLines lines(text);
  std::string_view line;
  while (lines.next(line)) {
    const std::string where = name + ", line " + std::to_string(lines.number()) + ": ";
    line = line.substr(0, line.find('#', 1));
    const auto first = line.find_first_not_of(" \t\r");
    line = first == std::string_view::npos ? std::string_view() : line.substr(first);
    if (comment_line(line)) continue;
    if (decimal_commas(line))
      fail_powder(
          where + "\"" + std::string(line.substr(0, 60)) +
          "\" has decimal commas; velmora-powder reads 2theta, intensity and sigma with decimal points");
    if (!numbers_of(line, values)) {
      if (columns == 0) continue;  // a header
      fail_powder(where + "expected 2theta, intensity and an optional sigma, found \"" +
                  std::string(line.substr(0, 60)) + "\"");
    }
    if (values.size() < 2 || values.size() > 3)
      fail_powder(where + std::to_string(values.size()) +
                  " numbers; a point is 2theta and intensity, with sigma as an optional third");
    if (columns != 0 && values.size() != columns)
      fail_powder(where + std::to_string(values.size()) + " numbers where the lines before have " +
                  std::to_string(columns));
    columns = values.size();
    const double two_theta = values[0];
    if (!(two_theta > 0 && two_theta < 180))
      fail_powder(where + "2theta " + std::string(line.substr(0, line.find_first_of(" \t,;"))) +
                  " is outside 0 to 180 degrees");
    if (!observed.two_theta.empty() && !(two_theta > observed.two_theta.back()))
      fail_powder(where +
                  "2theta does not rise above the line before; the points must be in increasing 2theta");
    // sigma 0 (no weight) is left out with a warning afterwards
    if (columns == 3 && !(values[2] >= 0)) fail_powder(where + "sigma must not be below 0");
    if (observed.two_theta.size() == kMostObservedPoints)
      fail_powder(name + ": more than 10^7 points, beyond what velmora-powder fits");
    observed.two_theta.push_back(two_theta);
    observed.intensity.push_back(values[1]);
    observed.sigma.push_back(columns == 3 ? values[2] : std::sqrt(std::max(values[1], 1.0)));
  }
  observed.sigma_given = columns == 3;
  if (observed.two_theta.size() < 2) fail_powder(name + ": fewer than two points of 2theta and intensity");
  return observed;
}

}  // namespace velmora::powder
