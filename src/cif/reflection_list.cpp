// Reflection lists. The search box for d >= dmin is exact: h = a . s with s
// the reciprocal vector, so |h| <= |a| |s| <= a / dmin, and likewise k and l.
#include "cif/reflection_list.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "cif/conversion_error.hpp"

namespace velmora::cif {
namespace {

// More reflections than this are refused rather than written.
constexpr double kMostReflections = 1e7;

struct Candidate {
  double d;
  Hkl hkl;
};

bool read_number(const std::string& text, double& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto result = std::from_chars(begin, end, value);
  return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

// The value as the user would have written it (shortest form that reads back).
std::string shortest_text(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

std::vector<Hkl> reflections_to_dmin(const gemmi::UnitCell& cell, double dmin) {
  if (!(dmin > 0)) fail_conversion("--dmin " + shortest_text(dmin) + ": the smallest d must be above 0");
  // About (4 pi / 3) V / dmin^3 reflections lie in the sphere.
  if (4.19 * cell.volume / (dmin * dmin * dmin) > kMostReflections)
    fail_conversion("--dmin " + shortest_text(dmin) + ": far too many reflections (more than 10 million)");
  const double slack = 1e-9;  // d = dmin exactly may come out a rounding below it
  const int hmax = static_cast<int>(std::floor(cell.a / dmin + slack));
  const int kmax = static_cast<int>(std::floor(cell.b / dmin + slack));
  const int lmax = static_cast<int>(std::floor(cell.c / dmin + slack));
  std::vector<Candidate> found;
  for (int h = -hmax; h <= hmax; ++h)
    for (int k = -kmax; k <= kmax; ++k)
      for (int l = -lmax; l <= lmax; ++l) {
        if (h == 0 && k == 0 && l == 0) continue;
        const double d = cell.calculate_d({h, k, l});
        if (d >= dmin * (1 - slack)) found.push_back({d, {double(h), double(k), double(l)}});
      }
  std::sort(found.begin(), found.end(), [](const Candidate& x, const Candidate& y) { return x.d > y.d; });
  // Reflections of one d differ only by rounding in the last bits: each run
  // of them is sorted by its indices.
  for (auto run = found.begin(); run != found.end();) {
    auto next = run;
    while (next != found.end() && run->d - next->d <= slack * run->d) ++next;
    std::sort(run, next, [](const Candidate& x, const Candidate& y) { return x.hkl < y.hkl; });
    run = next;
  }
  std::vector<Hkl> list;
  list.reserve(found.size());
  for (const Candidate& c : found) list.push_back(c.hkl);
  return list;
}

std::vector<Hkl> read_reflection_file(const std::string& path) {
  std::ifstream file(path);
  if (!file) fail_conversion(path + ": cannot read the reflections");
  std::vector<Hkl> list;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.empty() || fields[0][0] == '#') continue;
    Hkl hkl{};
    bool good = fields.size() == 3;
    for (std::size_t i = 0; good && i < 3; ++i) good = read_number(fields[i], hkl[i]);
    if (!good)
      fail_conversion(path + ":" + std::to_string(number) + ": '" + line + "' is not three numbers h k l");
    list.push_back(hkl);
  }
  if (file.bad()) fail_conversion(path + ": cannot read the reflections");
  return list;
}

}  // namespace velmora::cif
